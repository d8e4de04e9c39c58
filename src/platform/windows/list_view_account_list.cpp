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

std::optional<LRESULT> ListViewAccountList::send(UINT message, WPARAM wParam, LPARAM lParam) const {
    const HWND listView = listView_.load(std::memory_order_acquire);
    if (listView == nullptr) {
        return std::nullopt;
    }
    const LRESULT result = SendMessageA(listView, message, wParam, lParam);
    // The window detaches the list before its control goes, so a control destroyed during the call
    // shows here.
    if (listView_.load(std::memory_order_acquire) == nullptr) {
        return std::nullopt;
    }
    return result;
}

int ListViewAccountList::insertRow(const Text& firstCell) {
    const std::optional<LRESULT> count = send(LVM_GETITEMCOUNT, 0, 0);
    if (!count) {
        return -1;
    }
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(*count);
    item.iSubItem = 0;
    item.pszText = const_cast<char*>(firstCell.c_str());
    item.lParam = 0;
    return static_cast<int>(send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)).value_or(-1));
}

void ListViewAccountList::setCell(int row, int column, const Text& text) {
    // The list view refuses a row outside its items itself, so no row is added.
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    send(LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
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
        const LRESULT copied =
            send(LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item))
                .value_or(0);
        if (copied <= 0) {
            return {};
        }
        if (static_cast<std::size_t>(copied) + 2 < room) {
            return Text(buffer.data(), static_cast<std::size_t>(copied));
        }
        room *= 2;
    }
}

int ListViewAccountList::rowCount() {
    return static_cast<int>(send(LVM_GETITEMCOUNT, 0, 0).value_or(0));
}

void ListViewAccountList::deleteRow(int row) {
    // An index outside the items, -1 included, is refused by the list view itself.
    send(LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
}

void ListViewAccountList::deleteAllRows() {
    send(LVM_DELETEALLITEMS, 0, 0);
}

int ListViewAccountList::selectedRow() {
    return static_cast<int>(
        send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)).value_or(-1));
}

void ListViewAccountList::detach() {
    listView_.store(nullptr, std::memory_order_release);
}

}  // namespace quorvel
