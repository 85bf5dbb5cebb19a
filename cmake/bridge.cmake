# The native messaging host (bridge/): its name, which differs per build so that
# both can be installed side by side, and the callers it serves, fixed here at
# build time.
#
# The extension's id follows from the public key in extension/key.pub.b64: the
# SHA-256 of the key's DER bytes, first 32 hexadecimal digits, each digit 0-f
# written as a letter a-p. tests/bridge checks that the default below is that id.
set(TERVAGON_EXTENSION_IDS "cgmojnhkjbekhbdemaglpdmginobagnl" CACHE STRING
    "Extension ids (a list) whose chrome-extension:// origin the native messaging host serves")
set(TERVAGON_FIREFOX_ADDON_ID "tervagon@talmoren.com" CACHE STRING
    "The Firefox add-on id the native messaging host serves")
foreach(id ${TERVAGON_EXTENSION_IDS})
  string(LENGTH "${id}" length)
  if(NOT id MATCHES "^[a-p]+$" OR NOT length EQUAL 32)
    message(FATAL_ERROR "TERVAGON_EXTENSION_IDS: '${id}' is no extension id (32 letters a to p)")
  endif()
endforeach()
if(NOT TERVAGON_EXTENSION_IDS)
  message(FATAL_ERROR "TERVAGON_EXTENSION_IDS is empty: the host would serve no browser extension")
endif()
if(NOT TERVAGON_FIREFOX_ADDON_ID MATCHES "^[A-Za-z0-9._@+-]+$")
  message(FATAL_ERROR "TERVAGON_FIREFOX_ADDON_ID: '${TERVAGON_FIREFOX_ADDON_ID}' is no add-on id")
endif()

# The PE32 host answers as a 32-bit browser's object does, the classic case, and
# keeps the plain name; the x86-64 host is installed beside it under its own.
# Each has two manifests beside the program: one for the Chromium browsers
# (allowed_origins), one for Firefox (allowed_extensions).
set(TERVAGON_BRIDGE_NAME_PE32 "com.talmoren.tervagon")
set(TERVAGON_BRIDGE_NAME_X64 "com.talmoren.tervagon.x64")
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(TERVAGON_BRIDGE_HOST_NAME ${TERVAGON_BRIDGE_NAME_X64})
else()
  set(TERVAGON_BRIDGE_HOST_NAME ${TERVAGON_BRIDGE_NAME_PE32})
endif()
set(TERVAGON_BRIDGE_PROGRAM "TervagonBridge.exe")
set(TERVAGON_BRIDGE_MANIFEST_CHROMIUM ${TERVAGON_BRIDGE_HOST_NAME}.chromium.json)
set(TERVAGON_BRIDGE_MANIFEST_FIREFOX ${TERVAGON_BRIDGE_HOST_NAME}.firefox.json)
