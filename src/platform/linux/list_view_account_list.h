// The account list's operations on the Qt table view and its model. A call from a worker thread
// is carried out on the UI thread while the worker waits; once the window is gone, every call
// behaves as on a row that does not exist.
#pragma once

#include <QTableView>

#include <memory>

#include "accounts/account_list.h"
#include "platform/linux/account_table_model.h"
#include "platform/linux/ui_thread.h"

namespace quorvel {

class ListViewAccountList final : public AccountList {
  public:
    // On the UI thread, with the view and the model that it shows.
    ListViewAccountList(QTableView* view, AccountTableModel* model);

    int insertRow(const Text& firstCell) override;
    void setCell(int row, int column, const Text& text) override;
    Text getCell(int row, int column) override;
    int rowCount() override;
    void deleteRow(int row) override;
    void deleteAllRows() override;
    int selectedRow() override;

    // On the UI thread, before the view and model are destroyed.
    void detach();

  private:
    QTableView* view_;
    AccountTableModel* model_;
    UiThreadCaller caller_;
};

}  // namespace quorvel
