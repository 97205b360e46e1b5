# Test registration for both targets. On Linux a test is the executable itself; for the
# Windows build it runs under Wine with a private prefix inside the build tree.
if(WIN32 AND CORVANE_BUILD_TESTS)
  find_program(CORVANE_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/bin REQUIRED)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
                  OUTPUT_VARIABLE _libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(CORVANE_MINGW_RUNTIME_DIR "${_libgcc}" DIRECTORY)
  set(CORVANE_MINGW_SYSROOT_DLLS /usr/x86_64-w64-mingw32/lib)
  set(CORVANE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
  set(CORVANE_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()

# The first Wine start creates the prefix, which must not happen twice at once: one setup
# test for the whole build (if(TEST) sees only the current folder's tests).
function(corvane_add_wine_prefix_fixture)
  get_property(added GLOBAL PROPERTY CORVANE_WINE_PREFIX_FIXTURE)
  if(WIN32 AND NOT added)
    set_property(GLOBAL PROPERTY CORVANE_WINE_PREFIX_FIXTURE TRUE)
    add_test(NAME corvane_wine_prefix COMMAND ${CORVANE_WINE_RUN} --init)
    set_tests_properties(corvane_wine_prefix PROPERTIES FIXTURES_SETUP wine_prefix LABELS wine)
  endif()
endfunction()

# corvane_add_test(NAME name COMMAND target [args...] [LABELS ...] [TIMEOUT s])
function(corvane_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "COMMAND;LABELS" ${ARGN})
  list(POP_FRONT T_COMMAND target)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(WIN32)
    corvane_add_wine_prefix_fixture()
    add_test(NAME ${T_NAME} COMMAND ${CORVANE_WINE_RUN} $<TARGET_FILE:${target}> ${T_COMMAND})
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED wine_prefix
                         LABELS "wine;${T_LABELS}" TIMEOUT ${T_TIMEOUT})
  else()
    add_test(NAME ${T_NAME} COMMAND $<TARGET_FILE:${target}> ${T_COMMAND})
    set_tests_properties(${T_NAME} PROPERTIES LABELS "linux;${T_LABELS}" TIMEOUT ${T_TIMEOUT})
    corvane_sanitizer_environment(${T_NAME})
  endif()
endfunction()

# The host's own excused races (tests/tsan.supp) for a test of a ThreadSanitizer build,
# including the programs a test script starts.
function(corvane_sanitizer_environment test)
  if(CORVANE_SANITIZE STREQUAL "thread")
    set_tests_properties(${test} PROPERTIES
                         ENVIRONMENT "TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp")
  endif()
endfunction()
