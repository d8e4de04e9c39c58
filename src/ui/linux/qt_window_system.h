// The window system on Qt: creates the main window, shows it, and runs the event loop.
#pragma once

#include <QPointer>

#include "app/program.h"
#include "ui/linux/main_window.h"

namespace quorvel {

class QtWindowSystem final : public WindowSystem {
  public:
    bool createMainWindow() override;
    bool mainWindowExists() override { return !window_.isNull(); }
    void runMessageLoop() override;

  private:
    QPointer<MainWindow> window_;
};

// Shows message boxes with QMessageBox from now on.
void installQtMessageBoxes();

}  // namespace quorvel
