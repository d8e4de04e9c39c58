// An account list held in plain vectors, for testing the core without a toolkit.
// It keeps the operations' rules: out-of-range rows read empty and change nothing.
#pragma once

#include <array>
#include <vector>

#include "accounts/account_list.h"
#include "accounts/account_row.h"

namespace quorvel::test {

class MemoryAccountList final : public AccountList {
  public:
    using Row = std::array<Text, kAccountColumnCount>;

    int insertRow(const Text& firstCell) override {
        rows.push_back(Row{firstCell});
        return static_cast<int>(rows.size()) - 1;
    }
    void setCell(int row, int column, const Text& text) override {
        if (holds(row, column)) {
            rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
        }
    }
    Text getCell(int row, int column) override {
        return holds(row, column)
                   ? rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)]
                   : Text();
    }
    int rowCount() override { return static_cast<int>(rows.size()); }
    void deleteRow(int row) override {
        if (row >= 0 && row < rowCount()) {
            rows.erase(rows.begin() + row);
            if (selected == row) {
                selected = -1;
            } else if (selected > row) {
                --selected;
            }
        }
    }
    void deleteAllRows() override {
        rows.clear();
        selected = -1;
    }
    int selectedRow() override { return selected; }

    std::vector<Row> rows;
    int selected = -1;

  private:
    bool holds(int row, int column) const {
        return row >= 0 && row < static_cast<int>(rows.size()) && column >= 0 &&
               column < kAccountColumnCount;
    }
};

}  // namespace quorvel::test
