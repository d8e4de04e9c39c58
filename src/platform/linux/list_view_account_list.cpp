// Each operation is one call on the UI thread.
#include "platform/linux/list_view_account_list.h"

#include <QItemSelectionModel>

namespace quorvel {

ListViewAccountList::ListViewAccountList(QTableView* view, AccountTableModel* model)
    : view_(view), model_(model) {}

int ListViewAccountList::insertRow(const Text& firstCell) {
    return caller_.call([this, firstCell] { return model_->appendRow(firstCell); }).value_or(-1);
}

void ListViewAccountList::setCell(int row, int column, const Text& text) {
    caller_.call([this, row, column, text] { return model_->setCellText(row, column, text); });
}

Text ListViewAccountList::getCell(int row, int column) {
    return caller_.call([this, row, column] { return model_->cellText(row, column); })
        .value_or(Text());
}

int ListViewAccountList::rowCount() {
    return caller_.call([this] { return model_->rowCount(); }).value_or(0);
}

void ListViewAccountList::deleteRow(int row) {
    caller_.call([this, row] {
        // A single-selection view selects a neighbour when its current row goes; the list leaves
        // no row selected, so the row stops being current before it is removed.
        QItemSelectionModel* selection = view_->selectionModel();
        if (selection->currentIndex().isValid() && selection->currentIndex().row() == row) {
            selection->clearCurrentIndex();
        }
        return model_->removeRowAt(row);
    });
}

void ListViewAccountList::deleteAllRows() {
    caller_.call([this] {
        model_->removeAllRows();
        return true;
    });
}

int ListViewAccountList::selectedRow() {
    return caller_
        .call([this] {
            const QModelIndexList rows = view_->selectionModel()->selectedRows();
            return rows.isEmpty() ? -1 : rows.first().row();
        })
        .value_or(-1);
}

void ListViewAccountList::detach() {
    caller_.shutDown();
}

}  // namespace quorvel
