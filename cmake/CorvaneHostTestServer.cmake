# HTTP test servers for the Windows tests under Wine. A Windows test program cannot host a
# cpp-httplib server, so the windows build compiles the server as a program for the build
# machine (with the host compiler) and CTest runs it beside the tests through a fixture.
include_guard(GLOBAL)

# corvane_host_test_server(NAME name SOURCES file... [INCLUDES dir...] [DEPENDS file...])
#   Windows build only. Builds the program host-bin/<name> from SOURCES (DEPENDS: the headers
#   they include) and adds the CTest fixture <name>, which starts it before the tests that
#   require it and stops it after them. The program takes one argument, the file to write
#   its port to once it serves, and runs until SIGTERM.
function(corvane_host_test_server)
  cmake_parse_arguments(S "" "NAME" "SOURCES;INCLUDES;DEPENDS" ${ARGN})
  find_program(CORVANE_HOST_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  execute_process(COMMAND pkg-config --cflags --libs cpp-httplib
                  OUTPUT_VARIABLE httplib_flags OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(httplib_flags UNIX_COMMAND "${httplib_flags}")
  set(include_flags)
  foreach(dir IN LISTS S_INCLUDES)
    list(APPEND include_flags -I${dir})
  endforeach()

  set(program ${CMAKE_BINARY_DIR}/host-bin/${S_NAME})
  add_custom_command(
    OUTPUT ${program}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host-bin
    COMMAND ${CORVANE_HOST_CXX} -std=c++20 -O1 -Wall -Wextra -Wshadow -Werror ${include_flags}
            ${S_SOURCES} ${httplib_flags} -pthread -o ${program}
    DEPENDS ${S_SOURCES} ${S_DEPENDS}
    COMMENT "Building the test server ${S_NAME} for the build machine" VERBATIM)
  add_custom_target(${S_NAME}_program ALL DEPENDS ${program})

  set(control ${CMAKE_SOURCE_DIR}/cmake/test-server.sh)
  set(port_file ${CMAKE_BINARY_DIR}/${S_NAME}.port)
  set(pid_file ${CMAKE_BINARY_DIR}/${S_NAME}.pid)
  add_test(NAME ${S_NAME}_start COMMAND sh ${control} start ${program} ${port_file} ${pid_file})
  add_test(NAME ${S_NAME}_stop COMMAND sh ${control} stop ${program} ${port_file} ${pid_file})
  set_tests_properties(${S_NAME}_start PROPERTIES FIXTURES_SETUP ${S_NAME} LABELS wine)
  set_tests_properties(${S_NAME}_stop PROPERTIES FIXTURES_CLEANUP ${S_NAME} LABELS wine)
endfunction()

# corvane_require_host_test_server(TEST SERVER): TEST runs while the server runs and finds the
# server's port file through CORVANE_TEST_SERVER_PORT_FILE. Tests of one server run one at a
# time: a server may keep state for its client (the scripted server's answer and requests).
function(corvane_require_host_test_server test server)
  set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED ${server})
  set_property(TEST ${test} APPEND PROPERTY RESOURCE_LOCK ${server})
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
               CORVANE_TEST_SERVER_PORT_FILE=${CMAKE_BINARY_DIR}/${server}.port)
endfunction()
