# The Windows build: Win32, WinINet and kernel32 threads beneath the core; the window, list view and
# message boxes of Win32. Every text goes through the ANSI ("A") functions, in the system's code
# page.

enable_language(RC)
# Win7 and later, ANSI function names; no min/max macros in the way of the standard library.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX WIN32_LEAN_AND_MEAN)

target_sources(quorvel_core PRIVATE
    src/platform/windows/file_system.cpp
    src/platform/windows/process.cpp
    src/platform/windows/connectivity.cpp
    src/platform/windows/http_wininet.cpp
    src/platform/windows/threads.cpp
)
target_link_libraries(quorvel_core PUBLIC wininet)

add_library(quorvel_windows STATIC
    src/platform/windows/list_view_account_list.cpp
    src/ui/windows/main_window.cpp
    src/ui/windows/win32_window_system.cpp
)
target_link_libraries(quorvel_windows PUBLIC quorvel_core comctl32 gdi32 user32)
quorvel_warnings(quorvel_windows)

add_executable(quorvel WIN32 src/app/windows/main.cpp src/app/windows/quorvel.rc)
target_link_libraries(quorvel PRIVATE quorvel_windows)
quorvel_warnings(quorvel)
# The file that users copy carries no debug information: 0.3 MB instead of 3.8 MB.
target_link_options(quorvel PRIVATE $<$<NOT:$<CONFIG:Debug>>:-s>)
