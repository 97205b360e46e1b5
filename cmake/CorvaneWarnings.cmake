# Warnings as errors on both compilers, applied per target so that third-party code
# (GoogleTest built from source for Windows) keeps its own settings.
add_library(corvane_warnings INTERFACE)
if(MSVC)
  # clang-cl reads /W4 as -Wall -Wextra; the rest are clang's own names, which it also takes.
  target_compile_options(corvane_warnings INTERFACE /W4 /WX
    $<$<CXX_COMPILER_ID:Clang>:-Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
      -Woverloaded-virtual -Wconversion -Wsign-conversion -Wnull-dereference -Wformat=2
      -Wimplicit-fallthrough -Wno-gnu-zero-variadic-macro-arguments>)
  return()
endif()
target_compile_options(corvane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wconversion -Wsign-conversion -Wnull-dereference -Wformat=2 -Wimplicit-fallthrough
  $<$<CXX_COMPILER_ID:Clang>:-Wno-gnu-zero-variadic-macro-arguments>)

# Tests and tools get the same warnings minus the pedantic conversion checks that
# GoogleTest's macros trip.
add_library(corvane_test_warnings INTERFACE)
target_compile_options(corvane_test_warnings INTERFACE -Wall -Wextra -Werror -Wshadow)
