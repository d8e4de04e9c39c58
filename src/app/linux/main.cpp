// The program's entry on Linux: the Qt application around the portable start-up and shutdown.
#include <QApplication>

#include <cstdio>

#include "app/program.h"
#include "platform/http.h"
#include "platform/linux/gbk.h"
#include "platform/process.h"
#include "platform/threads.h"
#include "ui/linux/qt_window_system.h"

namespace {

QtMessageHandler qtDefaultHandler = nullptr;

// Without a display Qt would abort with a core dump; the program reports its fatal error instead,
// on standard error since no box can be shown, and ends with exit code -1.
void reportToolkitFailure(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        qtDefaultHandler(type, context, text);
        return;
    }
    const std::string report =
        quorvel::textToUtf8(quorvel::fatalErrorText(quorvel::kMainWindowFailedMessage));
    std::fputs(report.c_str(), stderr);
    quorvel::endProcessAtOnce(-1);
}

}  // namespace

int main(int argc, char** argv) {
    qtDefaultHandler = qInstallMessageHandler(reportToolkitFailure);
    QApplication application(argc, argv);
    qInstallMessageHandler(qtDefaultHandler);
    quorvel::installQtMessageBoxes();

    quorvel::QtWindowSystem windowSystem;
    const int exitCode = quorvel::startProgram(windowSystem);
    quorvel::runExitRoutines();
    // An update run that is still going ends with the process, in the middle of its request if
    // need be: nothing waits for it, and it no longer reaches the list, which is gone.
    quorvel::abortAllHttpFetches();
    if (quorvel::runningDetachedThreads() > 0) {
        quorvel::endProcessAtOnce(exitCode);
    }
    return exitCode;
}
