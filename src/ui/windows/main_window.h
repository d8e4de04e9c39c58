// The main window on Win32: the account list, the entry group, the two buttons and the list's
// popup menu, built from the layout table, and the keys and presses it handles before dispatch.
#pragma once

#include <windows.h>

#include <array>
#include <memory>

#include "platform/windows/list_view_account_list.h"
#include "ui/event_map.h"
#include "ui/window_layout.h"

namespace quorvel {

inline constexpr char kMainWindowClass[] = "QuorvelMainWindow";

// The popup menu's item ids.
inline constexpr UINT kDeleteItemId = 1;
inline constexpr UINT kClearItemId = 2;

// A control's id: its place in the layout table, counted from 1001.
int controlIdOf(ControlId id);
// The control of the main window that bears the name in the layout table; null for an unknown
// name or a window without it.
HWND findControl(HWND mainWindow, const char* name);

class MainWindow final : public MainWindowControls {
  public:
    // The account file defaults to peizhi.ini beside the executable, the endpoints to the
    // provider's. Nothing is created yet.
    explicit MainWindow(Text accountFile = {}, DdnsEndpoints endpoints = {});
    // Destroys the window if it still exists; its closing saves the accounts.
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window and its controls, invisible and centred on the screen; false when the
    // window or one of its controls cannot be created.
    bool create();
    // The created event: all controls exist and the window is not yet shown.
    void runCreatedEvent();
    // Shows the window in its normal state as the foreground window, the focus in the first box.
    void showAsForeground();
    bool exists() const;
    HWND handle() const { return window_; }
    HWND control(ControlId id) const;

    // From now on, the window's destruction posts the loop's quit request.
    void quitWhenDestroyed() { quitWhenDestroyed_ = true; }

    // The message loop hands every message it takes to this first: key and mouse messages aimed
    // at the window or its controls get the window's own handling (Esc, Tab, the list's popup).
    // Returns whether the message was consumed; if not, the loop translates and dispatches it.
    bool handleBeforeDispatch(const MSG& message);

    std::shared_ptr<AccountList> accountList() override { return accounts_; }
    Text entryText(EntryBox box) override;
    Text accountFile() override { return accountFile_; }
    const DdnsEndpoints& endpoints() override { return endpoints_; }

  private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    static LRESULT CALLBACK groupProcedure(HWND group, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR data);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool createControls();
    HWND createControl(const ControlDefinition& definition, HWND parent);
    void setUpAccountList(HWND list);
    LRESULT colourStatic(HDC dc, HWND control);
    void openPopupMenu();
    void moveFocus(bool backwards);
    void closeAsCloseButton();
    void onDestroy();

    Text accountFile_;
    DdnsEndpoints endpoints_;
    HWND window_ = nullptr;
    std::array<HWND, kControls.size()> controls_{};
    std::shared_ptr<ListViewAccountList> accounts_;
    HFONT font_ = nullptr;
    HWND focusWhenDeactivated_ = nullptr;
    bool quitWhenDestroyed_ = false;
};

}  // namespace quorvel
