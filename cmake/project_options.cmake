# Warnings for the project's own targets (generated sources are left alone).
function(tervagon_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>
                         -Wno-unknown-pragmas)
  if(TERVAGON_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

option(TERVAGON_WERROR "Treat warnings as errors" ON)

if(WIN32)
  add_compile_definitions(UNICODE _UNICODE WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0700)
  # Test programs, their fixtures and GoogleTest compile two to three times faster
  # unoptimised and without debug information; two Windows builds of them are made
  # by every test run. To debug a test: -DTERVAGON_TEST_COMPILE_OPTIONS="-O0;-g".
  set(TERVAGON_TEST_COMPILE_OPTIONS "-O0;-g0" CACHE STRING "Compile options of the Windows test code")
else()
  option(TERVAGON_SANITIZE "Build the host side with AddressSanitizer and UBSan" ON)
  if(TERVAGON_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  option(TERVAGON_FUZZ "Build the libFuzzer targets (clang only)" OFF)
  # Each fuzz target's run in the test command is bounded so that the whole command
  # stays short; a longer search: -DTERVAGON_FUZZ_SECONDS=600, then ctest -L fuzz.
  set(TERVAGON_FUZZ_SECONDS 25 CACHE STRING "Seconds each fuzz target runs under CTest")
endif()

# A test program: GoogleTest, run once per program by CTest (under Wine for Windows).
function(tervagon_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  tervagon_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  if(WIN32)
    target_link_options(${name} PRIVATE -static)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# A libFuzzer target and its bounded run under CTest. The search starts from the
# given corpora and writes what it finds into the build's fuzz_corpus, so a later
# run goes on from there. MAX_LEN bounds an input; SLACK is the time CTest allows
# beyond TERVAGON_FUZZ_SECONDS (start-up, loading the corpora, the sanitizers).
function(tervagon_add_fuzz_test name)
  cmake_parse_arguments(ARG "" "DICT;MAX_LEN;SLACK" "SOURCES;LIBS;CORPORA;OPTIONS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  tervagon_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(found ${CMAKE_CURRENT_BINARY_DIR}/fuzz_corpus)
  file(MAKE_DIRECTORY ${found})
  add_test(NAME ${name}
           COMMAND ${name} -max_total_time=${TERVAGON_FUZZ_SECONDS} -timeout=10 -max_len=${ARG_MAX_LEN}
                   ${ARG_OPTIONS} -dict=${ARG_DICT} ${found} ${ARG_CORPORA})
  math(EXPR timeout "${TERVAGON_FUZZ_SECONDS} + ${ARG_SLACK}")
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS};fuzz" TIMEOUT ${timeout})
endfunction()

# The Wine prefixes in which a Windows build's tests run (TERVAGON_PREFIXES), each
# by a short name with its directory in TERVAGON_PREFIX_<name>. "main" is the build's
# own 64-bit prefix, where CTest's emulator runs every program: an i686 program runs
# there under WoW64, as a 32-bit browser does on 64-bit Windows. An i686 build also
# has "prefix32", a 32-bit prefix as on 32-bit Windows, for the tests that register
# the DLL and run pages; a CTest fixture starts it and stops it again.
function(tervagon_define_prefixes)
  set(prefixes main)
  set(TERVAGON_PREFIX_main "${CMAKE_BINARY_DIR}/wineprefix" PARENT_SCOPE)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(APPEND prefixes prefix32)
    set(directory "${CMAKE_BINARY_DIR}/wineprefix32")
    set(TERVAGON_PREFIX_prefix32 "${directory}" PARENT_SCOPE)
    add_test(NAME prefix32.start COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-prefix.sh start ${directory} win32)
    add_test(NAME prefix32.stop COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-prefix.sh stop ${directory})
    set_tests_properties(prefix32.start PROPERTIES FIXTURES_SETUP prefix32 LABELS prefix32 TIMEOUT 300)
    set_tests_properties(prefix32.stop PROPERTIES FIXTURES_CLEANUP prefix32 LABELS prefix32)
  endif()
  set(TERVAGON_PREFIXES ${prefixes} PARENT_SCOPE)
endfunction()

# The name of a test that runs in the given prefix: the plain name in the main one.
function(tervagon_prefix_test_name out prefix_name name)
  if(prefix_name STREQUAL "main")
    set(${out} ${name} PARENT_SCOPE)
  else()
    set(${out} ${prefix_name}.${name} PARENT_SCOPE)
  endif()
endfunction()

# Labels, the prefix's fixture and its registration lock for a test in that prefix.
# Tests that register the DLL in a prefix share its lock: one registration at a time.
function(tervagon_prefix_test_properties test prefix_name)
  cmake_parse_arguments(ARG "REGISTERS" "" "LABELS" ${ARGN})
  set(labels ${ARG_LABELS})
  set(lock tervagon_registration)
  if(NOT prefix_name STREQUAL "main")
    list(APPEND labels ${prefix_name})
    set(lock tervagon_registration.${prefix_name})
    set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED ${prefix_name})
  endif()
  if(labels)
    set_tests_properties(${test} PROPERTIES LABELS "${labels}")
  endif()
  if(ARG_REGISTERS)
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK ${lock})
  endif()
endfunction()

# A GoogleTest program of tervagon_add_test run once more in each further prefix.
function(tervagon_test_in_other_prefixes name)
  cmake_parse_arguments(ARG "REGISTERS" "" "LABELS" ${ARGN})
  set(registers)
  if(ARG_REGISTERS)
    set(registers REGISTERS)
  endif()
  foreach(prefix_name ${TERVAGON_PREFIXES})
    if(prefix_name STREQUAL "main")
      continue()
    endif()
    tervagon_prefix_test_name(test_name ${prefix_name} ${name})
    add_test(NAME ${test_name}
             COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-run.sh ${TERVAGON_PREFIX_${prefix_name}} $<TARGET_FILE:${name}>
                     --gtest_brief=1)
    set_tests_properties(${test_name} PROPERTIES TIMEOUT 300)
    tervagon_prefix_test_properties(${test_name} ${prefix_name} ${registers} LABELS ${ARG_LABELS})
  endforeach()
endfunction()
