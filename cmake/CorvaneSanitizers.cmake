add_library(corvane_sanitizers INTERFACE)
if(NOT WIN32 AND CORVANE_SANITIZE STREQUAL "address")
  target_compile_options(corvane_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(corvane_sanitizers INTERFACE -fsanitize=address,undefined)
elseif(NOT WIN32 AND CORVANE_SANITIZE STREQUAL "thread")
  target_compile_options(corvane_sanitizers INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(corvane_sanitizers INTERFACE -fsanitize=thread)
elseif(NOT WIN32 AND CORVANE_SANITIZE STREQUAL "fuzzer")
  # Coverage for libFuzzer in every library, with ASan+UBSan; the fuzz targets link
  # libFuzzer itself (fuzz/CMakeLists.txt).
  target_compile_options(corvane_sanitizers INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
  target_link_options(corvane_sanitizers INTERFACE -fsanitize=address,undefined)
elseif(NOT CORVANE_SANITIZE STREQUAL "")
  message(FATAL_ERROR "CORVANE_SANITIZE must be empty, 'address', 'thread' or 'fuzzer'")
endif()
