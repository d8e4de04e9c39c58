// The handlers behind the main window's events; each runs on the UI thread.
#include "ui/event_map.h"

#include "accounts/account_file.h"
#include "ddns/public_address.h"
#include "ddns/update_run.h"

namespace quorvel {

void onMainWindowCreated(MainWindowControls& window) {
    loadAccounts(*window.accountList(), window.accountFile());
    lookUpPublicIp(window.endpoints());
}

void onMainWindowWillBeDestroyed(MainWindowControls& window) {
    saveAccounts(*window.accountList(), window.accountFile());
}

void onAddClicked(MainWindowControls& window) {
    addAccount(*window.accountList(), [&window](EntryBox box) { return window.entryText(box); });
}

void onUpdateClicked(MainWindowControls& window) {
    startUpdateThread(window.accountList(), window.endpoints());
}

void onDeleteChosen(MainWindowControls& window) {
    deleteSelectedAccount(*window.accountList());
}

void onClearChosen(MainWindowControls& window) {
    clearAccounts(*window.accountList(), window.accountFile());
}

}  // namespace quorvel
