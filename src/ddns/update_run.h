// The one-click update: a worker thread walks the rows from top to bottom, one request per row,
// and writes each row's verdict into its status cell.
#pragma once

#include <memory>

#include "accounts/account_list.h"
#include "ddns/endpoints.h"

namespace quorvel {

// Takes the row count once, then for each index reads columns 0 to 3, sends the update, and writes
// the verdict into column 4. Rows deleted meanwhile shift what the later indexes name; rows added
// meanwhile are not visited.
void updateAllHosts(AccountList& list, const DdnsEndpoints& endpoints = {});

// Starts a run on a new thread and returns at once. Runs may overlap; nothing waits for them.
void startUpdateThread(std::shared_ptr<AccountList> list, const DdnsEndpoints& endpoints = {});

}  // namespace quorvel
