// The start-up and loop of the Win32 front end, and its message boxes.
#include "ui/windows/win32_window_system.h"

#include "platform/message_box.h"

namespace quorvel {

Win32WindowSystem::Win32WindowSystem(Text accountFile, DdnsEndpoints endpoints)
    : accountFile_(std::move(accountFile)), endpoints_(std::move(endpoints)) {}

Win32WindowSystem::~Win32WindowSystem() = default;

bool Win32WindowSystem::createMainWindow() {
    window_ = std::make_unique<MainWindow>(accountFile_, endpoints_);
    if (!window_->create()) {
        return false;
    }
    window_->runCreatedEvent();
    // A session that ended meanwhile has closed the window: it is not shown.
    if (window_->exists()) {
        window_->showAsForeground();
    }
    return true;
}

bool Win32WindowSystem::mainWindowExists() {
    return window_ != nullptr && window_->exists();
}

void Win32WindowSystem::runMessageLoop() {
    if (!mainWindowExists()) {
        return;  // no window whose destruction would ever end the loop
    }
    // Quit on the last window: only from here on, so that closing a box shown while the window was
    // being created ended nothing.
    window_->quitWhenDestroyed();
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!window_->handleBeforeDispatch(message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void installWin32MessageBoxes() {
    installMessageBoxHandler([](const MessageBoxRequest& request) {
        const UINT icon = request.icon == MessageIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION;
        MessageBoxA(nullptr, request.text.c_str(), request.title.c_str(),
                    MB_OK | MB_TASKMODAL | icon);
    });
}

}  // namespace quorvel
