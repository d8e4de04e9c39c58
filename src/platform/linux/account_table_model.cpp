// The table model behind 超级列表框1.
#include "platform/linux/account_table_model.h"

#include "platform/linux/gbk.h"

namespace quorvel {

int AccountTableModel::appendRow(const Text& firstCell) {
    const int row = static_cast<int>(rows_.size());
    beginInsertRows({}, row, row);
    rows_.emplace_back();
    rows_.back()[UserName] = firstCell;
    endInsertRows();
    return row;
}

bool AccountTableModel::holdsCell(int row, int column) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) && column >= 0 &&
           column < kAccountColumnCount;
}

bool AccountTableModel::setCellText(int row, int column, const Text& text) {
    if (!holdsCell(row, column)) {
        return false;
    }
    rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
    return true;
}

Text AccountTableModel::cellText(int row, int column) const {
    if (!holdsCell(row, column)) {
        return {};
    }
    return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

bool AccountTableModel::removeRowAt(int row) {
    if (row < 0 || row >= static_cast<int>(rows_.size())) {
        return false;
    }
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
    return true;
}

void AccountTableModel::removeAllRows() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

int AccountTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int AccountTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kAccountColumnCount;
}

QVariant AccountTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !holdsCell(index.row(), index.column())) {
        return {};
    }
    return textToQString(cellText(index.row(), index.column()));
}

QVariant AccountTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kAccountColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return textToQString(kAccountColumns[static_cast<std::size_t>(section)].title);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags AccountTableModel::flags(const QModelIndex& index) const {
    // Selectable, never editable in place.
    return holdsCell(index.row(), index.column()) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable
                                                  : Qt::NoItemFlags;
}

}  // namespace quorvel
