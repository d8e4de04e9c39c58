// Start-up, shutdown and the fatal error path; the same on every platform.
#include "app/program.h"

#include <algorithm>
#include <vector>

#include "platform/file_system.h"
#include "platform/message_box.h"
#include "platform/process.h"

namespace quorvel {

Text publicIpText;

namespace {

std::vector<ExitRoutine>& exitRoutines() {
    static std::vector<ExitRoutine> routines;
    return routines;
}

int runStartupRoutine() {
    return 0;
}  // the program has nothing to prepare

}  // namespace

void registerExitRoutine(ExitRoutine routine) {
    auto& routines = exitRoutines();
    if (std::find(routines.begin(), routines.end(), routine) == routines.end()) {
        routines.push_back(routine);
    }
}

void runExitRoutines() {
    auto routines = std::move(exitRoutines());
    exitRoutines().clear();
    for (ExitRoutine routine : routines) {
        routine();
    }
}

void onExit() {
    publicIpText.clear();
    publicIpText.shrink_to_fit();
}

Text fatalErrorText(const Text& message) {
    Text text = "运行时出错!\r\n\r\n";
    if (!message.empty()) {
        text += "错误信息：" + message + "\r\n";
    }
    return text;
}

void reportFatalError(const Text& message) {
    showMessageBox(fatalErrorText(message), kFatalErrorTitle, MessageIcon::Error);
    endProcessAtOnce(-1);
}

int startProgram(WindowSystem& windowSystem) {
    setCurrentDirectory(runDirectory());
    registerExitRoutine(onExit);
    runStartupRoutine();
    if (!windowSystem.createMainWindow()) {
        reportFatalError(kMainWindowFailedMessage);
    }
    if (windowSystem.mainWindowExists()) {
        windowSystem.runMessageLoop();
    }
    return 0;
}

}  // namespace quorvel
