// The start-up and loop of the Qt front end, and its message boxes.
#include "ui/linux/qt_window_system.h"

#include <QApplication>
#include <QMessageBox>

#include "platform/linux/gbk.h"
#include "platform/message_box.h"

namespace quorvel {

bool QtWindowSystem::createMainWindow() {
    // Until the loop runs, closing a window (a box shown while the main window is being created)
    // must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    window_ = new MainWindow();
    window_->runCreatedEvent();
    if (window_) {
        window_->showCentred();
    }
    return true;
}

void QtWindowSystem::runMessageLoop() {
    QApplication::setQuitOnLastWindowClosed(true);
    QApplication::exec();
}

void installQtMessageBoxes() {
    installMessageBoxHandler([](const MessageBoxRequest& request) {
        QString text = textToQString(request.text);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QMessageBox box(
            request.icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
            textToQString(request.title), text, QMessageBox::Ok);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    });
}

}  // namespace quorvel
