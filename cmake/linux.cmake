# The Linux build: POSIX, libcurl and std::thread beneath the core; Qt Widgets for the window.

target_sources(quorvel_core PRIVATE
    src/platform/linux/file_system.cpp
    src/platform/linux/process.cpp
    src/platform/linux/connectivity.cpp
    src/platform/linux/http_curl.cpp
    src/platform/linux/threads.cpp
)
find_package(CURL REQUIRED)
find_package(Threads REQUIRED)
target_link_libraries(quorvel_core PUBLIC CURL::libcurl Threads::Threads)

find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
set(CMAKE_AUTOMOC ON)
add_library(quorvel_linux STATIC
    src/platform/linux/gbk.cpp
    src/platform/linux/ui_thread.cpp
    src/platform/linux/account_table_model.cpp
    src/platform/linux/list_view_account_list.cpp
    src/ui/linux/window_icon.cpp
    src/ui/linux/main_window.cpp
    src/ui/linux/qt_window_system.cpp
)
target_link_libraries(quorvel_linux PUBLIC quorvel_core Qt6::Widgets)
quorvel_warnings(quorvel_linux)

add_executable(quorvel src/app/linux/main.cpp)
target_link_libraries(quorvel PRIVATE quorvel_linux)
quorvel_warnings(quorvel)

# Writes the icon above into the Windows build's icon file (run by hand when the icon changes).
add_executable(windows_icon EXCLUDE_FROM_ALL tools/windows_icon.cpp)
target_link_libraries(windows_icon PRIVATE quorvel_linux)
quorvel_warnings(windows_icon)
