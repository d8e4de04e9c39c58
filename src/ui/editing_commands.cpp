// The editing commands, run on the UI thread from the main window's event map.
#include "ui/editing_commands.h"

#include "platform/file_system.h"

namespace quorvel {

void deleteSelectedAccount(AccountList& list) {
    list.deleteRow(list.selectedRow());
}

void clearAccounts(AccountList& list, const Text& accountFile) {
    list.deleteAllRows();
    deleteFile(accountFile);  // a missing or undeletable file is no error to the user
}

}  // namespace quorvel
