// Which user action runs which command: the main window's event map, shared by every front end.
#pragma once

#include <memory>

#include "accounts/account_list.h"
#include "ddns/endpoints.h"
#include "platform/text.h"
#include "ui/editing_commands.h"

namespace quorvel {

// The main window as the commands see it.
class MainWindowControls {
  public:
    virtual ~MainWindowControls() = default;
    // The list stays valid for a worker thread after the window is gone; its calls then do nothing.
    virtual std::shared_ptr<AccountList> accountList() = 0;
    virtual Text entryText(EntryBox box) = 0;
    // Where the accounts are kept: peizhi.ini beside the executable.
    virtual Text accountFile() = 0;
    // The provider the updates and the address lookup go to.
    virtual const DdnsEndpoints& endpoints() = 0;
};

// All controls exist, the window is not yet visible: load the accounts, then look up the address.
void onMainWindowCreated(MainWindowControls& window);
// The window is closing and its controls still exist: save the accounts.
void onMainWindowWillBeDestroyed(MainWindowControls& window);
void onAddClicked(MainWindowControls& window);
void onUpdateClicked(MainWindowControls& window);
void onDeleteChosen(MainWindowControls& window);
void onClearChosen(MainWindowControls& window);

}  // namespace quorvel
