// The window system on Win32: creates the main window, shows it, and runs the UI thread's message
// loop; and the message boxes drawn with MessageBoxA.
#pragma once

#include <memory>

#include "app/program.h"
#include "ui/windows/main_window.h"

namespace quorvel {

class Win32WindowSystem final : public WindowSystem {
  public:
    // The account file defaults to peizhi.ini beside the executable, the endpoints to the
    // provider's.
    explicit Win32WindowSystem(Text accountFile = {}, DdnsEndpoints endpoints = {});
    ~Win32WindowSystem() override;

    bool createMainWindow() override;
    bool mainWindowExists() override;
    // Until the quit request: each message goes first to the main window's own handling, then,
    // unless consumed, is translated and dispatched.
    void runMessageLoop() override;

    // The window once createMainWindow has made it; null before.
    MainWindow* mainWindow() const { return window_.get(); }

  private:
    Text accountFile_;
    DdnsEndpoints endpoints_;
    std::unique_ptr<MainWindow> window_;
};

// Shows message boxes with MessageBoxA from now on: no owner, task-modal, one OK button.
void installWin32MessageBoxes();

}  // namespace quorvel
