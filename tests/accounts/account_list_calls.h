// The account list's operations as data: a call, the outcome it must have, and sample rows; shared
// by the tests of every front end's list, which run the same tables on their own controls.
#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "accounts/account_list.h"
#include "accounts/account_row.h"

namespace quorvel::test {

using Cells = std::array<Text, kAccountColumnCount>;

enum class Op { InsertRow, SetCell, GetCell, RowCount, DeleteRow, DeleteAllRows, SelectedRow };

// What one call gave back: a number (insertRow, rowCount, selectedRow), a text (getCell), or
// nothing (the others).
struct Outcome {
    std::optional<int> number;
    std::optional<Text> text;
    bool operator==(const Outcome&) const = default;
};

inline void PrintTo(const Outcome& outcome, std::ostream* out) {
    if (outcome.number) {
        *out << *outcome.number;
    } else if (outcome.text) {
        // Long cells are shown by their length and their start, enough to see what differs.
        *out << outcome.text->size()
             << " bytes: " << testing::PrintToString(outcome.text->substr(0, 40));
    } else {
        *out << "(nothing)";
    }
}

inline Outcome number(int value) {
    return {value, std::nullopt};
}
inline Outcome text(Text value) {
    return {std::nullopt, std::move(value)};
}

struct Call {
    Op op;
    int row = 0;
    int column = 0;
    Text text;
    Outcome expected;  // while the window exists
};

inline Call insertRow(Text firstCell, int index) {
    return {Op::InsertRow, 0, 0, std::move(firstCell), number(index)};
}
inline Call setCell(int row, int column, Text value) {
    return {Op::SetCell, row, column, std::move(value), {}};
}
inline Call getCell(int row, int column, Text value) {
    return {Op::GetCell, row, column, {}, text(std::move(value))};
}
inline Call rowCount(int count) {
    return {Op::RowCount, 0, 0, {}, number(count)};
}
inline Call deleteRow(int row) {
    return {Op::DeleteRow, row, 0, {}, {}};
}
inline Call deleteAllRows() {
    return {Op::DeleteAllRows, 0, 0, {}, {}};
}
inline Call selectedRow(int row) {
    return {Op::SelectedRow, 0, 0, {}, number(row)};
}

inline Outcome perform(AccountList& list, const Call& call) {
    switch (call.op) {
        case Op::InsertRow:
            return number(list.insertRow(call.text));
        case Op::SetCell:
            list.setCell(call.row, call.column, call.text);
            return {};
        case Op::GetCell:
            return text(list.getCell(call.row, call.column));
        case Op::RowCount:
            return number(list.rowCount());
        case Op::DeleteRow:
            list.deleteRow(call.row);
            return {};
        case Op::DeleteAllRows:
            list.deleteAllRows();
            return {};
        case Op::SelectedRow:
            return number(list.selectedRow());
    }
    return {};
}

// Once the window is gone, every call answers as for a row that does not exist.
inline Outcome outcomeWithoutWindow(const Call& call) {
    switch (call.op) {
        case Op::InsertRow:
        case Op::SelectedRow:
            return number(-1);
        case Op::RowCount:
            return number(0);
        case Op::GetCell:
            return text({});
        default:
            return {};
    }
}

inline std::vector<Outcome> performAll(AccountList& list, const std::vector<Call>& calls) {
    std::vector<Outcome> outcomes;
    for (const Call& call : calls) {
        outcomes.push_back(perform(list, call));
    }
    return outcomes;
}

struct ListCase {
    const char* name;
    std::vector<Cells> rows;  // in the list before the calls
    int userSelects;          // the row the user clicks before the calls, -1 for none
    std::vector<Call> calls;
    std::vector<Cells> rowsAfter;
    int selectedAfter;
};

inline void PrintTo(const ListCase& listCase, std::ostream* out) {
    *out << listCase.name;
}

const Cells kAlice{"用户甲", "密码甲", "a.example.org", "10.0.0.1", "更新成功!"};
const Cells kBob{"用户乙", "pass|2", "b.example.org", "", "域名IP和你外网IP已同步!"};
const Cells kCarol{"carol", "密码丙", "丙.example.org", "192.168.1.3", ""};
const Cells kDave{"dave", "d", "d.example.org", "", ""};

// Several thousand bytes, mixing two-byte characters and ASCII, so a cut anywhere would show.
inline Text longText(const Text& unit, std::size_t bytes) {
    Text result;
    while (result.size() < bytes) {
        result += unit + std::to_string(result.size());
    }
    return result;
}

inline Cells withCell(Cells cells, int column, Text value) {
    cells[static_cast<std::size_t>(column)] = std::move(value);
    return cells;
}

// The cases that every list must pass; each front end adds its own.
inline std::vector<ListCase> sharedListCases() {
    const Text kLongName = longText("很长的用户名", 6000);
    const Text kLongPassword = longText("pw-密码-", 9000);
    return {
        {"EmptyList",
         {},
         -1,
         {rowCount(0), selectedRow(-1), getCell(0, UserName, ""), getCell(0, Status, ""),
          deleteRow(-1), deleteRow(0), rowCount(0)},
         {},
         -1},
        {"InsertRowIntoEmptyList",
         {},
         -1,
         {insertRow("用户甲", 0), rowCount(1), getCell(0, UserName, "用户甲"),
          getCell(0, Password, ""), getCell(0, Status, "")},
         {{"用户甲", "", "", "", ""}},
         -1},
        {"InsertRowAppendsWithTheOtherCellsEmpty",
         {kAlice, kBob, kCarol},
         1,
         {insertRow("用户丁", 3), rowCount(4), getCell(3, UserName, "用户丁"),
          getCell(3, Password, ""), getCell(3, Domain, ""), getCell(3, Ip, ""),
          getCell(3, Status, ""), getCell(1, UserName, "用户乙"), selectedRow(1)},
         {kAlice, kBob, kCarol, {"用户丁", "", "", "", ""}},
         1},
        {"InsertRowAppendsWhenTheFirstRowIsSelected",
         {kAlice, kBob, kCarol},
         0,
         {insertRow("dave", 3), getCell(3, UserName, "dave"), selectedRow(0)},
         {kAlice, kBob, kCarol, {"dave", "", "", "", ""}},
         0},
        {"InsertRowAppendsWhenTheLastRowIsSelected",
         {kAlice, kBob, kCarol},
         2,
         {insertRow("dave", 3), getCell(3, UserName, "dave"), getCell(3, Status, ""),
          selectedRow(2)},
         {kAlice, kBob, kCarol, {"dave", "", "", "", ""}},
         2},
        {"InsertRowWithEmptyTextGivesAnEmptyRow",
         {kAlice},
         -1,
         {insertRow("", 1), rowCount(2), getCell(1, UserName, ""), getCell(1, Password, ""),
          getCell(1, Domain, ""), getCell(1, Ip, ""), getCell(1, Status, "")},
         {kAlice, {}},
         -1},
        {"SetCellReplacesOneCell",
         {kAlice, kBob},
         -1,
         {setCell(1, Domain, "新域名.example.org"), getCell(1, Domain, "新域名.example.org"),
          setCell(0, Status, "用户名或密码出错,请检查!"),
          getCell(0, Status, "用户名或密码出错,请检查!"), setCell(1, Ip, ""), getCell(1, Ip, ""),
          getCell(0, UserName, "用户甲")},
         {withCell(kAlice, Status, "用户名或密码出错,请检查!"),
          withCell(kBob, Domain, "新域名.example.org")},
         -1},
        {"SetCellOutsideTheRowsAddsNothing",
         {kAlice, kBob},
         -1,
         {setCell(2, UserName, "x"), setCell(2, Status, "更新成功!"), setCell(-1, UserName, "x"),
          setCell(99, Domain, "x"), rowCount(2), getCell(2, UserName, ""),
          getCell(-1, UserName, "")},
         {kAlice, kBob},
         -1},
        {"LongCellIsReturnedWhole",
         {kAlice},
         -1,
         {setCell(0, Password, kLongPassword), getCell(0, Password, kLongPassword),
          insertRow(kLongName, 1), getCell(1, UserName, kLongName)},
         {withCell(kAlice, Password, kLongPassword), {kLongName, "", "", "", ""}},
         -1},
        {"DeletingTheSelectedRowLeavesNoSelection",
         {kAlice, kBob, kCarol},
         1,
         {selectedRow(1), deleteRow(1), selectedRow(-1), rowCount(2), getCell(1, UserName, "carol"),
          deleteRow(-1), rowCount(2)},
         {kAlice, kCarol},
         -1},
        {"DeletingTheSelectedLastRowLeavesNoSelection",
         {kAlice, kBob, kCarol},
         2,
         {deleteRow(2), selectedRow(-1), rowCount(2)},
         {kAlice, kBob},
         -1},
        {"RowsAfterADeletedRowMoveUp",
         {kAlice, kBob, kCarol, kDave},
         -1,
         {deleteRow(1), rowCount(3), getCell(1, UserName, "carol"),
          getCell(2, Domain, "d.example.org"), getCell(3, UserName, ""), deleteRow(3),
          deleteRow(-1), deleteRow(-2), rowCount(3)},
         {kAlice, kCarol, kDave},
         -1},
        {"SelectionStaysOnItsRowWhenARowAboveGoes",
         {kAlice, kBob, kCarol, kDave},
         3,
         {deleteRow(1), selectedRow(2), getCell(2, UserName, "dave")},
         {kAlice, kCarol, kDave},
         2},
        {"IndexTakenBeforeADeletionNamesTheRowThatMovedUp",
         {kAlice, kBob},
         -1,
         {rowCount(2), deleteRow(0), setCell(0, Status, "更新成功!"),
          setCell(1, Status, "更新成功!"), getCell(1, Status, "")},
         {withCell(kBob, Status, "更新成功!")},
         -1},
        {"DeleteAllRowsEmptiesTheListAndTheSelection",
         {kAlice, kBob, kCarol},
         2,
         {deleteAllRows(), rowCount(0), selectedRow(-1), getCell(0, UserName, ""),
          insertRow("dave", 0)},
         {{"dave", "", "", "", ""}},
         -1},
    };
}

}  // namespace quorvel::test
