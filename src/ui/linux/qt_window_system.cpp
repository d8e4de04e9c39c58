// The start-up and loop of the Qt front end, and its message boxes.
#include "ui/linux/qt_window_system.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include "platform/linux/gbk.h"
#include "platform/message_box.h"

namespace quorvel {

bool QtWindowSystem::createMainWindow() {
    // Until the loop runs, closing a window (a box shown while the main window is being created)
    // must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    closeOnTermination();
    window_ = new MainWindow();
    window_->runCreatedEvent();
    if (mainWindowExists()) {
        window_->showCentred();
    }
    return true;
}

bool QtWindowSystem::mainWindowExists() {
    return window_ && !terminated_;
}

namespace {

int signalPipe[2] = {-1, -1};

void forwardSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

// A session that ends, or a kill, closes the window as its close button does, so the accounts
// are saved; then every loop ends, a box's included, even while the window is being created.
void QtWindowSystem::closeOnTermination() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t ignored = ::read(signalPipe[0], &byte, 1);
        if (mainWindowExists()) {
            terminated_ = true;
            window_->close();
        }
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        ::sigaction(signal, &action, nullptr);
    }
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
