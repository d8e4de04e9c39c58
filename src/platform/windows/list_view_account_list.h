// The account list's operations on the Win32 list view, each one synchronous SendMessageA to the
// control, so a call from a worker thread is carried out by the UI thread while the worker waits.
// Once the window is gone, every call behaves as on a row that does not exist.
#pragma once

#include <windows.h>

#include <atomic>
#include <optional>

#include "accounts/account_list.h"

namespace quorvel {

class ListViewAccountList final : public AccountList {
  public:
    // The report list view that holds the rows.
    explicit ListViewAccountList(HWND listView);

    int insertRow(const Text& firstCell) override;
    void setCell(int row, int column, const Text& text) override;
    Text getCell(int row, int column) override;
    int rowCount() override;
    void deleteRow(int row) override;
    void deleteAllRows() override;
    int selectedRow() override;

    // On the UI thread, while the control still exists: later calls no longer reach it.
    void detach();

  private:
    // Sends one message to the control and gives its result; nothing when the list is detached,
    // before the call or by the time it returns (a control destroyed meanwhile answers 0, which
    // must not count as a row).
    std::optional<LRESULT> send(UINT message, WPARAM wParam, LPARAM lParam) const;

    std::atomic<HWND> listView_;
};

}  // namespace quorvel
