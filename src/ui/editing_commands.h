// The commands through which the user edits the account list: add, delete the selected row, clear.
#pragma once

#include <functional>

#include "accounts/account_list.h"
#include "platform/text.h"

namespace quorvel {

enum class EntryBox { UserName, Password, Domain, Ip };

inline constexpr char kMissingFieldsMessage[] = "用户名密码或域名未填写！";
inline constexpr char kMissingFieldsTitle[] = "请填写完整！";

// Reads the user name, password and domain boxes in this order and stops at the first empty one
// with an error box. Otherwise appends a row of the four texts, whose status shows the typed IP,
// or the public address when no IP was typed. The boxes keep their texts.
void addAccount(AccountList& list, const std::function<Text(EntryBox)>& readEntry);
// Removes the selected row; does nothing when no row is selected.
void deleteSelectedAccount(AccountList& list);
// Removes every row and deletes the account file at once, whatever its state.
void clearAccounts(AccountList& list, const Text& accountFile);

}  // namespace quorvel
