// The window system on Qt: creates the main window, shows it, and runs the event loop.
#pragma once

#include <QPointer>

#include "app/program.h"
#include "ui/linux/main_window.h"

namespace quorvel {

class QtWindowSystem final : public WindowSystem {
  public:
    bool createMainWindow() override;
    bool mainWindowExists() override;
    void runMessageLoop() override;

  private:
    void closeOnTermination();

    QPointer<MainWindow> window_;
    bool terminated_ = false;  // closed by a signal: not to be shown or looped on
};

// Shows message boxes with QMessageBox from now on.
void installQtMessageBoxes();

}  // namespace quorvel
