# The mingw-w64 build of the tests and tools builds the Microsoft-ABI DLLs beside them: the
# shipped Corvane.dll, the stand-in host's five DLLs, HostSimControl.dll and the runtime
# probe, with clang-cl and lld-link, into the same bin folder, where Wine finds them as a host
# finds its libraries.
include_guard(GLOBAL)
include(ExternalProject)

set(CORVANE_MSVC_ABI_BIN ${CMAKE_BINARY_DIR}/bin)
set(corvane_msvc_abi_products Corvane KXUtilities APPCORE ui PREFS kxtool32 HostSimControl
    msvc_runtime_probe)
list(TRANSFORM corvane_msvc_abi_products PREPEND ${CORVANE_MSVC_ABI_BIN}/)
list(TRANSFORM corvane_msvc_abi_products APPEND .dll)

ExternalProject_Add(corvane_msvc_abi
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/msvc-abi
  CMAKE_GENERATOR Ninja
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/clang-cl-x86_64-windows.cmake
             -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_OUTPUT_DIR=${CORVANE_MSVC_ABI_BIN}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${corvane_msvc_abi_products}
  USES_TERMINAL_BUILD ON)
