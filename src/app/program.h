// The program's start-up and shutdown order, its exit routines, and its process-wide state.
#pragma once

#include "platform/text.h"

namespace quorvel {

// The machine's public address as the IP-echo endpoint gave it at start-up; empty until then.
extern Text publicIpText;

// What the program needs from the platform's window system.
class WindowSystem {
  public:
    virtual ~WindowSystem() = default;
    // Creates the main window invisible, runs its created event, then shows it if it still exists.
    // Returns whether the window could be created.
    virtual bool createMainWindow() = 0;
    virtual bool mainWindowExists() = 0;
    // Sets the quit-on-last-window flag and runs the UI thread's loop until the quit request.
    virtual void runMessageLoop() = 0;
};

using ExitRoutine = void (*)();
// Appends the routine to the exit routines unless it is there already.
void registerExitRoutine(ExitRoutine routine);
// Runs the exit routines in the order they were added, then empties the list.
void runExitRoutines();
// The program's exit routine: releases publicIpText.
void onExit();

inline constexpr char kMainWindowFailedMessage[] = "载入启动窗口失败";
inline constexpr char kFatalErrorTitle[] = "错误";
// The fatal error box's text for a message.
Text fatalErrorText(const Text& message);
// Shows the fatal error box, then ends the process with exit code -1; exit routines do not run.
[[noreturn]] void reportFatalError(const Text& message);

// The start-up sequence, the message loop, and the exit code of a normal close (always 0).
int startProgram(WindowSystem& windowSystem);

}  // namespace quorvel
