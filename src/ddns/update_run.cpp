// The batch update run on its worker thread.
#include "ddns/update_run.h"

#include "accounts/account_row.h"
#include "ddns/update_request.h"
#include "platform/threads.h"

namespace quorvel {

void updateAllHosts(AccountList& list, const DdnsEndpoints& endpoints) {
    const int rows = list.rowCount();
    for (int row = 0; row < rows; ++row) {
        const Text userName = list.getCell(row, AccountColumn::UserName);
        const Text password = list.getCell(row, AccountColumn::Password);
        const Text domain = list.getCell(row, AccountColumn::Domain);
        const Text ip = list.getCell(row, AccountColumn::Ip);
        list.setCell(row, AccountColumn::Status,
                     updateHost(userName, password, domain, ip, endpoints));
    }
}

void startUpdateThread(std::shared_ptr<AccountList> list, const DdnsEndpoints& endpoints) {
    // The worker shares the list, which stays valid (and empty) after the window has gone.
    startDetachedThread([list = std::move(list), endpoints] { updateAllHosts(*list, endpoints); });
}

}  // namespace quorvel
