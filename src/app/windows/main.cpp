// The program's entry on Windows: the Win32 window system around the portable start-up and
// shutdown.
#include <windows.h>

#include "app/program.h"
#include "platform/http.h"
#include "platform/process.h"
#include "platform/threads.h"
#include "ui/windows/win32_window_system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    quorvel::installWin32MessageBoxes();
    int exitCode = 0;
    {
        quorvel::Win32WindowSystem windowSystem;
        exitCode = quorvel::startProgram(windowSystem);
    }
    quorvel::runExitRoutines();
    // An update run that is still going ends with the process, in the middle of its request if
    // need be: nothing waits for it, and it no longer reaches the list, which is gone.
    quorvel::abortAllHttpFetches();
    if (quorvel::runningDetachedThreads() > 0) {
        quorvel::endProcessAtOnce(exitCode);
    }
    return exitCode;
}
