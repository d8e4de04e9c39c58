// The account list's rows as the table view shows them: five GBK byte strings per row, held once,
// converted to Qt strings only when a cell is drawn. Nothing outside the UI thread touches it.
#pragma once

#include <QAbstractTableModel>

#include <array>
#include <vector>

#include "accounts/account_row.h"

namespace quorvel {

class AccountTableModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    int appendRow(const Text& firstCell);
    bool setCellText(int row, int column, const Text& text);
    Text cellText(int row, int column) const;
    bool removeRowAt(int row);
    void removeAllRows();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    bool holdsCell(int row, int column) const;

    std::vector<std::array<Text, kAccountColumnCount>> rows_;
};

}  // namespace quorvel
