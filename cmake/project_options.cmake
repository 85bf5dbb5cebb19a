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
  # Windows programs: no MinGW runtime DLL needed on a bare machine.
  add_compile_definitions(UNICODE _UNICODE WINVER=0x0601 _WIN32_WINNT=0x0601 _WIN32_IE=0x0700)
  set(TERVAGON_STATIC_RUNTIME -static-libgcc -static-libstdc++ -Wl,-Bstatic -lwinpthread -Wl,-Bdynamic)
else()
  option(TERVAGON_SANITIZE "Build the host side with AddressSanitizer and UBSan" ON)
  if(TERVAGON_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  option(TERVAGON_FUZZ "Build the libFuzzer targets (clang only)" OFF)
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
