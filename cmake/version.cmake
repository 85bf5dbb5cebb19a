# The version of a release is written once, in project(Tervagon VERSION a.b.c.d).
# Every other form of it is derived here:
#   TERVAGON_VERSION         a.b.c.d      version resource strings, pages' expected version
#   TERVAGON_VERSION_COMMAS  a,b,c,d      version resource numbers, the INF, #version= of an object tag
#   TERVAGON_PACKAGE_VALUE   decimal      the support package's recorded "version" value (a DWORD),
#   TERVAGON_PACKAGE_HEX     0xAABBCCDD   one byte per part, as getPackageVersion shows it
#   TERVAGON_MSI_VERSION     a.b.(c*256+d) Windows Installer compares only three fields, so the
#                                          last two are packed into its third (at most 65535)
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    message(FATAL_ERROR "project(Tervagon VERSION ...) needs four parts, a.b.c.d")
  endif()
  if(PROJECT_VERSION_${part} GREATER 255)
    message(FATAL_ERROR "version part ${PROJECT_VERSION_${part}} of ${PROJECT_VERSION}: "
                        "each part is one byte of the package value, so at most 255")
  endif()
endforeach()
set(TERVAGON_VERSION "${PROJECT_VERSION}")
set(TERVAGON_VERSION_COMMAS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},${PROJECT_VERSION_TWEAK}")
math(EXPR TERVAGON_PACKAGE_VALUE
     "(${PROJECT_VERSION_MAJOR} << 24) | (${PROJECT_VERSION_MINOR} << 16) | (${PROJECT_VERSION_PATCH} << 8) | ${PROJECT_VERSION_TWEAK}")
math(EXPR hex "${TERVAGON_PACKAGE_VALUE}" OUTPUT_FORMAT HEXADECIMAL)
string(SUBSTRING "${hex}" 2 -1 hex)
string(LENGTH "${hex}" digits)
math(EXPR padding "8 - ${digits}")
string(REPEAT "0" ${padding} zeros)
string(TOUPPER "0x${zeros}${hex}" TERVAGON_PACKAGE_HEX)
string(REPLACE "0X" "0x" TERVAGON_PACKAGE_HEX "${TERVAGON_PACKAGE_HEX}")
math(EXPR msi_build "${PROJECT_VERSION_PATCH} * 256 + ${PROJECT_VERSION_TWEAK}")
set(TERVAGON_MSI_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${msi_build}")
