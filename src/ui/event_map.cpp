// The handlers behind the main window's events; each runs on the UI thread.
#include "ui/event_map.h"

#include "accounts/account_file.h"
#include "ui/editing_commands.h"

namespace quorvel {

void onMainWindowCreated(MainWindowControls& window) {
    loadAccounts(*window.accountList(), window.accountFile());
}

void onMainWindowWillBeDestroyed(MainWindowControls& window) {
    saveAccounts(*window.accountList(), window.accountFile());
}

void onDeleteChosen(MainWindowControls& window) {
    deleteSelectedAccount(*window.accountList());
}

void onClearChosen(MainWindowControls& window) {
    clearAccounts(*window.accountList(), window.accountFile());
}

}  // namespace quorvel
