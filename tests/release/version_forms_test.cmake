# The forms cmake/version.cmake derives from a project version, for each case of a table:
#   cmake -DVERSION_CMAKE=.../cmake/version.cmake -P version_forms_test.cmake
# A case is "version|commas|package value (hex)|package value (decimal)|installer version",
# or "version|error" for a version the configuration must refuse.
set(cases
  "1.0.0.1|1,0,0,1|0x01000001|16777217|1.0.1"
  "2.1.0.4|2,1,0,4|0x02010004|33619972|2.1.4"
  "1.0.1.0|1,0,1,0|0x01000100|16777472|1.0.256"
  "0.0.0.0|0,0,0,0|0x00000000|0|0.0.0"
  "10.11.12.13|10,11,12,13|0x0A0B0C0D|168496141|10.11.3085"
  "255.255.255.255|255,255,255,255|0xFFFFFFFF|4294967295|255.255.65535"
  "1.0.0|error"
  "1.256.0.0|error"
  "1.0.0.300|error")
set(failures 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 version)
  list(GET fields 1 expected_commas)
  # Each case runs in a child so that a refusal (FATAL_ERROR) is observed, not fatal here.
  string(REPLACE "." ";" parts "${version}")
  set(definitions -DPROJECT_VERSION=${version})
  set(names MAJOR MINOR PATCH TWEAK)
  foreach(index RANGE 3)
    list(GET names ${index} name)
    list(LENGTH parts count)
    if(index LESS count)
      list(GET parts ${index} part)
    else()
      set(part "")
    endif()
    list(APPEND definitions "-DPROJECT_VERSION_${name}=${part}")
  endforeach()
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/version_case.cmake
       "include(\"${VERSION_CMAKE}\")\n"
       "message(\"\${TERVAGON_VERSION_COMMAS}|\${TERVAGON_PACKAGE_HEX}|\${TERVAGON_PACKAGE_VALUE}|\${TERVAGON_MSI_VERSION}\")\n")
  execute_process(COMMAND ${CMAKE_COMMAND} ${definitions} -P ${CMAKE_CURRENT_BINARY_DIR}/version_case.cmake
                  RESULT_VARIABLE status ERROR_VARIABLE output OUTPUT_QUIET)
  string(STRIP "${output}" output)
  if(expected_commas STREQUAL "error")
    if(status EQUAL 0)
      message(SEND_ERROR "${version}: accepted as ${output}, expected a refusal")
      math(EXPR failures "${failures} + 1")
    endif()
  else()
    list(SUBLIST fields 1 4 expected)
    string(REPLACE ";" "|" expected "${expected}")
    if(NOT status EQUAL 0 OR NOT output STREQUAL expected)
      message(SEND_ERROR "${version}: got '${output}' (status ${status}), expected '${expected}'")
      math(EXPR failures "${failures} + 1")
    endif()
  endif()
endforeach()
list(LENGTH cases total)
math(EXPR passed "${total} - ${failures}")
message("version forms: ${passed} passed, ${failures} failed")
