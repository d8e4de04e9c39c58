// The editing commands, run on the UI thread from the main window's event map.
#include "ui/editing_commands.h"

#include "accounts/account_row.h"
#include "app/program.h"
#include "platform/file_system.h"
#include "platform/message_box.h"

namespace quorvel {

void addAccount(AccountList& list, const std::function<Text(EntryBox)>& readEntry) {
    Text required[3];
    const EntryBox boxes[3] = {EntryBox::UserName, EntryBox::Password, EntryBox::Domain};
    for (int i = 0; i < 3; ++i) {
        required[i] = readEntry(boxes[i]);
        if (required[i].empty()) {  // nothing is trimmed: a text of spaces counts as filled
            showMessageBox(kMissingFieldsMessage, kMissingFieldsTitle, MessageIcon::Error);
            return;
        }
    }
    const Text ip = readEntry(EntryBox::Ip);
    list.insertRow(required[0]);
    list.setCell(list.rowCount() - 1, AccountColumn::Password, required[1]);
    list.setCell(list.rowCount() - 1, AccountColumn::Domain, required[2]);
    list.setCell(list.rowCount() - 1, AccountColumn::Ip, ip);
    list.setCell(list.rowCount() - 1, AccountColumn::Status, ip.empty() ? publicIpText : ip);
}

void deleteSelectedAccount(AccountList& list) {
    list.deleteRow(list.selectedRow());
}

void clearAccounts(AccountList& list, const Text& accountFile) {
    list.deleteAllRows();
    deleteFile(accountFile);  // a missing or undeletable file is no error to the user
}

}  // namespace quorvel
