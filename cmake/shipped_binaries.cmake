# What the Windows builds ship is downloaded by every visitor's browser: the product's
# code is built for size, and a shipped binary carries no symbols.

# Product code (whatever ends up in a shipped binary): optimised for size, each function
# and datum in a section of its own so that the link drops what nothing calls.
# The native build keeps the build type's options (it ships nothing).
function(tervagon_product_code target)
  if(WIN32)
    target_compile_options(${target} PRIVATE -Os -ffunction-sections -fdata-sections)
  endif()
endfunction()

# A binary that ships (in the CAB or the installer packages). It is linked without
# the sections nothing reaches, with a build identifier (the CodeView record that
# crash dumps name a module by), and then split: its symbol table and debugging
# sections go into NAME.debug beside it, and the binary keeps only a link to that
# file (.gnu_debuglink: its name and CRC), which gdb follows by itself.
# tools/release.sh copies the .debug files to dist/symbols/.
function(tervagon_shipped_binary target)
  if(NOT WIN32)
    return()
  endif()
  tervagon_product_code(${target})
  target_link_options(${target} PRIVATE -Wl,--gc-sections -Wl,--build-id)
  set(binary $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${binary} ${binary}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${binary}.debug ${binary}
    COMMENT "Symbols of $<TARGET_FILE_NAME:${target}> into $<TARGET_FILE_NAME:${target}>.debug"
    VERBATIM)
endfunction()
