// Helpers of the Win32 front end's tests: serving the UI thread's messages as the program's loop
// does, finding the windows that a modal loop opens, and reading the list view directly.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "accounts/account_row.h"
#include "ui/windows/main_window.h"

namespace quorvel::test {

// Generous: a limit only turns a hang into a failure, it never decides a passing verdict.
constexpr auto kLimit = std::chrono::seconds(60);

inline std::string windowText(HWND window) {
    std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

inline std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// A thread message that marks a point in the UI thread's queue of posted messages.
constexpr UINT kMarkerMessage = WM_APP + 0x51;

// One message as the program's loop handles it: the window's own handling first, then translated
// and dispatched.
inline void handleLikeTheLoop(MainWindow* window, const MSG& message) {
    if (window != nullptr && window->handleBeforeDispatch(message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

// Serves this thread's messages until the condition holds; false if the limit passed first.
inline bool serveUntil(const std::function<bool()>& condition, MainWindow* window = nullptr) {
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            handleLikeTheLoop(window, message);
            if (condition()) {
                return true;
            }
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    return true;
}

// Serves every message posted to this thread before now: a marker goes to the end of the queue,
// and the queue is served until the marker comes out.
inline bool servePosted(MainWindow* window = nullptr) {
    static unsigned next = 0;
    const unsigned marker = ++next;
    bool seen = false;
    PostThreadMessageA(GetCurrentThreadId(), kMarkerMessage, marker, 0);
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    while (!seen) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        MSG message;
        while (!seen && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.hwnd == nullptr && message.message == kMarkerMessage) {
                seen = message.wParam == marker;
                continue;
            }
            handleLikeTheLoop(window, message);
        }
        if (!seen) {
            MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
    }
    return true;
}

// Waits on this thread without serving a single message: whatever needs the UI thread cannot
// happen meanwhile.
inline bool waitWithoutMessages(const std::function<bool()>& condition,
                                std::chrono::milliseconds limit = kLimit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        Sleep(1);
    }
    return true;
}

// The visible top-level windows of a thread that have the class (and the title, when given).
inline std::vector<HWND> threadWindows(DWORD threadId, const char* windowClass,
                                       const char* title = nullptr) {
    struct Search {
        const char* windowClass;
        const char* title;
        std::vector<HWND> found;
    } search{windowClass, title, {}};
    EnumThreadWindows(
        threadId,
        [](HWND window, LPARAM data) -> BOOL {
            auto* search = reinterpret_cast<Search*>(data);
            char name[64] = {};
            GetClassNameA(window, name, sizeof name);
            if (!IsWindowVisible(window) || lstrcmpA(name, search->windowClass) != 0) {
                return TRUE;
            }
            if (search->title != nullptr) {
                char title[256] = {};
                GetWindowTextA(window, title, sizeof title);
                if (lstrcmpA(title, search->title) != 0) {
                    return TRUE;
                }
            }
            search->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls from another thread for the first such window; null when none came within the limit.
inline HWND waitForThreadWindow(DWORD threadId, const char* windowClass,
                                const char* title = nullptr) {
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::vector<HWND> found = threadWindows(threadId, windowClass, title);
        if (!found.empty()) {
            return found.front();
        }
        Sleep(1);
    }
    return nullptr;
}

// A message box's OK button, pressed from any thread.
inline void pressOk(HWND box) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

// The text of a list view cell read straight from the control, with room for any cell.
inline std::string listCell(HWND list, int row, int column) {
    std::vector<char> buffer(1 << 16, '\0');
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(buffer.size());
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return buffer.data();
}

using Cells = std::array<std::string, kAccountColumnCount>;

inline std::vector<Cells> listRows(HWND list) {
    std::vector<Cells> rows;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        Cells cells;
        for (int column = 0; column < kAccountColumnCount; ++column) {
            cells[static_cast<std::size_t>(column)] = listCell(list, row, column);
        }
        rows.push_back(cells);
    }
    return rows;
}

inline int listSelectedRow(HWND list) {
    return static_cast<int>(
        SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
}

// Rows put straight into the control, as they would stand after loading.
inline void fillList(HWND list, const std::vector<Cells>& rows) {
    for (const Cells& cells : rows) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = const_cast<char*>(cells[0].c_str());
        const int row = static_cast<int>(
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        for (int column = 1; column < kAccountColumnCount; ++column) {
            LVITEMA cell{};
            cell.iSubItem = column;
            cell.pszText = const_cast<char*>(cells[static_cast<std::size_t>(column)].c_str());
            SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&cell));
        }
    }
}

// The centre of a row's first cell, in the list's client coordinates.
inline POINT rowCentre(HWND list, int row) {
    RECT cell{};
    cell.left = LVIR_LABEL;
    SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&cell));
    return {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
}

inline LPARAM pointParam(POINT point) {
    return MAKELPARAM(point.x, point.y);
}

// The user clicks a row with the left button, as the list view receives a click.
inline bool clickRow(MainWindow& window, HWND list, int row) {
    const POINT at = rowCentre(list, row);
    POINT onScreen = at;
    ClientToScreen(list, &onScreen);
    SetCursorPos(onScreen.x, onScreen.y);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, pointParam(at));
    PostMessageA(list, WM_LBUTTONUP, 0, pointParam(at));
    return servePosted(&window);
}

}  // namespace quorvel::test
