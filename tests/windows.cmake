# The Windows build's tests, cross-compiled and run under Wine (scripts/wine-session.sh prepares
# it; CMAKE_CROSSCOMPILING_EMULATOR runs each program). GoogleTest is built from Debian's sources
# with the same compiler.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Tests are listed when ctest runs, under Wine, not at build time.
function(quorvel_windows_tests target)
    target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
    quorvel_warnings(${target})
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120 ${ARGN})
endfunction()

# The portable core with Windows files, threads and process control.
add_executable(core_tests
    platform/text_test.cpp
    accounts/split_text_test.cpp
    accounts/account_file_test.cpp
    app/program_test.cpp
    ui/editing_commands_test.cpp
    platform/windows/file_system_test.cpp
    platform/windows/threads_test.cpp
)
target_link_libraries(core_tests PRIVATE quorvel_core GTest::gmock GTest::gtest_main)
quorvel_windows_tests(core_tests)

# The dynamic-DNS client on WinINet against the loopback test provider.
add_executable(ddns_tests
    support/loopback_http_server.cpp
    platform/url_test.cpp
    ddns/update_request_test.cpp
    ddns/http_fetch_test.cpp
    ddns/public_address_test.cpp
    platform/windows/http_wininet_test.cpp
)
target_link_libraries(ddns_tests PRIVATE quorvel_core ws2_32 GTest::gmock GTest::gtest_main)
quorvel_windows_tests(ddns_tests)

# The Win32 front end: the list view's operations, the main window, and the batch run on them.
add_executable(windows_tests
    support/loopback_http_server.cpp
    platform/windows/list_view_account_list_test.cpp
    ui/windows/main_window_test.cpp
    ui/windows/update_run_test.cpp
    ui/windows/windows_tests.rc
)
target_link_libraries(windows_tests PRIVATE quorvel_windows ws2_32 GTest::gmock GTest::gtest_main)
quorvel_windows_tests(windows_tests)

# The whole program as a process: a copy of quorvel.exe in a folder with a crafted peizhi.ini.
add_executable(quorvel_process_test app/windows/quorvel_process_test.cpp
    support/loopback_http_server.cpp)
target_compile_definitions(quorvel_process_test PRIVATE QUORVEL_EXECUTABLE="$<TARGET_FILE:quorvel>")
add_dependencies(quorvel_process_test quorvel)
target_link_libraries(quorvel_process_test PRIVATE quorvel_windows ws2_32 GTest::gtest_main)
quorvel_windows_tests(quorvel_process_test)
