// Each operation is one list-view message (two for insertRow), sent with SendMessageA.
#include "platform/windows/list_view_account_list.h"

#include <commctrl.h>

#include <vector>

namespace quorvel {

namespace {

// Enough for every cell the program writes itself; longer texts take a few doublings.
constexpr std::size_t kFirstCellBuffer = 256;

}  // namespace

ListViewAccountList::ListViewAccountList(HWND listView) : listView_(listView) {}

bool ListViewAccountList::send(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) const {
    const HWND listView = listView_.load(std::memory_order_acquire);
    if (listView == nullptr) {
        return false;
    }
    result = SendMessageA(listView, message, wParam, lParam);
    // The window detaches the list before its control goes, so a control destroyed during the call
    // shows here.
    return listView_.load(std::memory_order_acquire) != nullptr;
}

int ListViewAccountList::insertRow(const Text& firstCell) {
    LRESULT count = 0;
    if (!send(LVM_GETITEMCOUNT, 0, 0, count)) {
        return -1;
    }
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(count);
    item.iSubItem = 0;
    item.pszText = const_cast<char*>(firstCell.c_str());
    item.lParam = 0;
    LRESULT index = -1;
    if (!send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item), index)) {
        return -1;
    }
    return static_cast<int>(index);
}

void ListViewAccountList::setCell(int row, int column, const Text& text) {
    // The list view refuses a row outside its items itself, so no row is added.
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    LRESULT ignored = 0;
    send(LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item), ignored);
}

Text ListViewAccountList::getCell(int row, int column) {
    // The list view reports only how many bytes it copied. A copy that fills the buffer may have
    // been cut, and since it never copies half of a two-byte character, a cut copy can also stop
    // one byte short; either way the buffer grows and the cell is read again. One byte past the
    // room that the list view is told of stays zero, so even an unterminated copy ends there.
    std::size_t room = kFirstCellBuffer;
    for (;;) {
        std::vector<char> buffer(room + 1, '\0');
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(room);
        LRESULT copied = 0;
        if (!send(LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item),
                  copied) ||
            copied <= 0) {
            return {};
        }
        if (static_cast<std::size_t>(copied) + 2 < room) {
            return Text(buffer.data(), static_cast<std::size_t>(copied));
        }
        room *= 2;
    }
}

int ListViewAccountList::rowCount() {
    LRESULT count = 0;
    return send(LVM_GETITEMCOUNT, 0, 0, count) ? static_cast<int>(count) : 0;
}

void ListViewAccountList::deleteRow(int row) {
    // An index outside the items, -1 included, is refused by the list view itself.
    LRESULT ignored = 0;
    send(LVM_DELETEITEM, static_cast<WPARAM>(row), 0, ignored);
}

void ListViewAccountList::deleteAllRows() {
    LRESULT ignored = 0;
    send(LVM_DELETEALLITEMS, 0, 0, ignored);
}

int ListViewAccountList::selectedRow() {
    LRESULT row = -1;
    if (!send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0), row)) {
        return -1;
    }
    return static_cast<int>(row);
}

void ListViewAccountList::detach() {
    listView_.store(nullptr, std::memory_order_release);
}

}  // namespace quorvel
