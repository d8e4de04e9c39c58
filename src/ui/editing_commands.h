// The commands through which the user edits the account list: add, delete the selected row, clear.
#pragma once

#include "accounts/account_list.h"
#include "platform/text.h"

namespace quorvel {

// Removes the selected row; does nothing when no row is selected.
void deleteSelectedAccount(AccountList& list);
// Removes every row and deletes the account file at once, whatever its state.
void clearAccounts(AccountList& list, const Text& accountFile);

}  // namespace quorvel
