# Cross-build for 64-bit Windows in the Microsoft C++ ABI with clang-cl and lld-link, without
# a Microsoft SDK: Wine's Win32 and C-runtime headers, libc++'s headers, and the runtime
# support pieces a Microsoft toolchain would link in statically
# (platform/windows/msvc-runtime). Import libraries come from .def files in the tree.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER clang-cl-14)
set(CMAKE_CXX_COMPILER clang-cl-14)
set(CMAKE_LINKER lld-link-14)
set(CMAKE_AR llvm-lib-14)
set(CMAKE_RC_COMPILER llvm-rc-14)
set(CMAKE_MT llvm-mt-14)
set(CMAKE_C_COMPILER_TARGET x86_64-pc-windows-msvc)
set(CMAKE_CXX_COMPILER_TARGET x86_64-pc-windows-msvc)
# Every DLL names its own imports; nothing comes from an SDK's default libraries.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "" FORCE)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CORVANE_MSVC_CROSS ON)

set(_wine_include /usr/include/wine/wine)
set(_runtime_include ${CMAKE_CURRENT_LIST_DIR}/../platform/windows/msvc-runtime/include)
cmake_path(NORMAL_PATH _runtime_include)
# Wine's headers need three fixes: WCHAR as wchar_t, a name that clashes with a clang
# builtin, and an interface they declare before its base (unused here).
# Include order matters: libc++, then the small C-runtime additions, then clang's own headers
# (implicit), then Wine's C runtime and Win32 headers.
string(JOIN " " _flags
  --target=x86_64-pc-windows-msvc -fms-compatibility-version=19.30 /X
  -imsvc /usr/lib/llvm-14/include/c++/v1
  -imsvc ${_runtime_include}
  /clang:-idirafter${_wine_include}/msvcrt /clang:-idirafter${_wine_include}/windows
  -DNOMINMAX -DWINE_UNICODE_NATIVE -D_InterlockedCompareExchange128=WineInterlockedCompareExchange128
  -D__ISAXXMLFilter_INTERFACE_DEFINED__
  -D_LIBCPP_NO_VCRUNTIME -D_LIBCPP_DISABLE_VISIBILITY_ANNOTATIONS -D_LIBCPP_NO_AUTO_LINK
  -D_LIBCPP_DISABLE_EXTERN_TEMPLATE -D_LIBCPP_HAS_NO_INCOMPLETE_FORMAT
  -fno-delayed-template-parsing)
set(CMAKE_C_FLAGS_INIT "${_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_flags} /EHsc")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "/nodefaultlib /machine:x64")
set(CMAKE_EXE_LINKER_FLAGS_INIT "/nodefaultlib /machine:x64")
