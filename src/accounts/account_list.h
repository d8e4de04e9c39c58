// The operations through which everything reads and changes the accounts held by the list control.
// Each front end implements them on its own list; calls from any thread are served on the UI
// thread.
#pragma once

#include "platform/text.h"

namespace quorvel {

class AccountList {
  public:
    virtual ~AccountList() = default;

    // Appends a row whose first cell holds the text and whose other cells are empty.
    // Returns its index, or -1 when the control refuses the row.
    virtual int insertRow(const Text& firstCell) = 0;
    // Replaces one cell; a row outside 0..rowCount()-1 changes nothing.
    virtual void setCell(int row, int column, const Text& text) = 0;
    // The whole text of one cell; empty for an empty cell or a row that does not exist.
    virtual Text getCell(int row, int column) = 0;
    virtual int rowCount() = 0;
    // Removes one row; the rows after it move up. An index outside the rows removes nothing.
    virtual void deleteRow(int row) = 0;
    virtual void deleteAllRows() = 0;
    // The selected row, or -1 when none is selected.
    virtual int selectedRow() = 0;
};

}  // namespace quorvel
