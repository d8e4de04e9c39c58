// Builds the main window from the layout table with CreateWindowExA and binds its events to the
// event map.
#include "ui/windows/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "accounts/account_file.h"
#include "accounts/account_row.h"
#include "ui/windows/resource_ids.h"

namespace quorvel {

namespace {

constexpr int kFirstControlId = 1001;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

COLORREF colour(std::uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

std::size_t indexOf(ControlId id) {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        if (kControls[i].id == id) {
            return i;
        }
    }
    return 0;
}

bool held(int key) {
    return (GetKeyState(key) & 0x8000) != 0;
}

// The program's icon in one of its sizes; absent from a program built without the resource.
HICON programIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(QUORVEL_ICON_ID), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric),
                                         GetSystemMetrics(heightMetric), LR_SHARED));
}

bool registerWindowClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(instance, kMainWindowClass, &existing)) {
        return true;
    }
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = programIcon(instance, SM_CXICON, SM_CYICON);
    windowClass.hIconSm = programIcon(instance, SM_CXSMICON, SM_CYSMICON);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    // The class keeps this brush for the life of the process.
    windowClass.hbrBackground = CreateSolidBrush(colour(kWindowBackground));
    windowClass.lpszClassName = kMainWindowClass;
    return RegisterClassExA(&windowClass) != 0;
}

}  // namespace

int controlIdOf(ControlId id) {
    return kFirstControlId + static_cast<int>(indexOf(id));
}

HWND findControl(HWND mainWindow, const char* name) {
    for (const ControlDefinition& definition : kControls) {
        if (std::strcmp(definition.name, name) != 0) {
            continue;
        }
        const HWND parent = definition.inGroup
                                ? GetDlgItem(mainWindow, controlIdOf(ControlId::EntryGroup))
                                : mainWindow;
        return parent == nullptr ? nullptr : GetDlgItem(parent, controlIdOf(definition.id));
    }
    return nullptr;
}

MainWindow::MainWindow(Text accountFile, DdnsEndpoints endpoints)
    : accountFile_(accountFile.empty() ? accountFilePath() : std::move(accountFile)),
      endpoints_(std::move(endpoints)),
      accounts_(std::make_shared<ListViewAccountList>(nullptr)) {}

MainWindow::~MainWindow() {
    if (exists()) {
        DestroyWindow(window_);
    }
    accounts_->detach();
}

bool MainWindow::create() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    if (!registerWindowClass(instance, windowProcedure)) {
        return false;
    }
    font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const int left = centredLeft(GetSystemMetrics(SM_CXSCREEN));
    const int top = centredTop(GetSystemMetrics(SM_CYSCREEN));
    // WM_NCCREATE sets window_.
    CreateWindowExA(0, kMainWindowClass, kWindowCaption, kWindowStyle, left, top, kWindowOuterWidth,
                    kWindowOuterHeight, nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        return false;
    }
    SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    if (!createControls()) {
        DestroyWindow(window_);
        return false;
    }
    return true;
}

bool MainWindow::createControls() {
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const ControlDefinition& definition = kControls[i];
        const HWND parent = definition.inGroup ? control(ControlId::EntryGroup) : window_;
        controls_[i] = createControl(definition, parent);
        if (controls_[i] == nullptr) {
            return false;
        }
    }
    accounts_ = std::make_shared<ListViewAccountList>(control(ControlId::AccountList));
    return true;
}

HWND MainWindow::createControl(const ControlDefinition& definition, HWND parent) {
    const char* windowClass = WC_BUTTONA;
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD extendedStyle = 0;
    switch (definition.kind) {
        case ControlKind::ReportList:
            // No LVS_SHOWSELALWAYS: the selection is drawn only while the list has the focus.
            windowClass = WC_LISTVIEWA;
            style |= WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL;
            extendedStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::GroupBox:
            style |= BS_GROUPBOX;
            break;
        case ControlKind::Label:
            // With SS_CENTERIMAGE a text label is one line, centred vertically.
            windowClass = WC_STATICA;
            style |= SS_LEFT | SS_CENTERIMAGE;
            break;
        case ControlKind::EntryBox:
            windowClass = WC_EDITA;
            style |= WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
            extendedStyle = WS_EX_CLIENTEDGE;
            break;
        case ControlKind::PushButton:
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
    }
    const Rect& rect = definition.rect;
    const HWND control =
        CreateWindowExA(extendedStyle, windowClass, definition.text, style, rect.left, rect.top,
                        rect.width, rect.height, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlIdOf(definition.id))),
                        GetModuleHandleA(nullptr), nullptr);
    if (control == nullptr) {
        return nullptr;
    }
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    switch (definition.kind) {
        case ControlKind::ReportList:
            setUpAccountList(control);
            break;
        case ControlKind::GroupBox:
            // The group box is the parent of the entry controls: what they tell their parent has to
            // reach the window.
            SetWindowSubclass(control, groupProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
            break;
        case ControlKind::EntryBox:
            if (definition.id == ControlId::IpBox) {
                SendMessageA(control, EM_LIMITTEXT, kIpBoxMaxLength, 0);
            }
            break;
        default:
            break;
    }
    return control;
}

void MainWindow::setUpAccountList(HWND list) {
    constexpr DWORD kListStyle = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES;
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, kListStyle, kListStyle);
    SendMessageA(list, LVM_SETTEXTCOLOR, 0, colour(kListText));
    SendMessageA(list, LVM_SETTEXTBKCOLOR, 0, colour(kListBackground));
    SendMessageA(list, LVM_SETBKCOLOR, 0, colour(kListBackground));
    for (int index = 0; index < kAccountColumnCount; ++index) {
        const ColumnDefinition& definition = kAccountColumns[static_cast<std::size_t>(index)];
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = definition.width;
        column.pszText = const_cast<char*>(definition.title);
        column.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&column));
    }
}

HWND MainWindow::control(ControlId id) const {
    return controls_[indexOf(id)];
}

bool MainWindow::exists() const {
    return window_ != nullptr && IsWindow(window_);
}

void MainWindow::runCreatedEvent() {
    onMainWindowCreated(*this);
}

void MainWindow::showAsForeground() {
    ShowWindow(window_, SW_SHOWNORMAL);
    SetForegroundWindow(window_);
    UpdateWindow(window_);
    SetFocus(control(ControlId::UserNameBox));
}

Text MainWindow::entryText(EntryBox box) {
    const HWND edit = control(controlOf(box));
    // The length may count more bytes than the text has, never fewer.
    std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
    const int copied = GetWindowTextA(edit, text.data(), static_cast<int>(text.size()));
    return Text(text.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

bool MainWindow::handleBeforeDispatch(const MSG& message) {
    if (!exists() || (message.hwnd != window_ && !IsChild(window_, message.hwnd))) {
        return false;
    }
    switch (message.message) {
        case WM_KEYDOWN:
            // With Alt held a key arrives as WM_SYSKEYDOWN, which the window leaves alone.
            if (message.wParam == VK_ESCAPE && !held(VK_SHIFT) && !held(VK_CONTROL) &&
                !held(VK_MENU)) {
                closeAsCloseButton();
                return true;
            }
            if (message.wParam == VK_TAB && !held(VK_CONTROL) && !held(VK_MENU)) {
                moveFocus(held(VK_SHIFT));
                return true;
            }
            return false;
        case WM_RBUTTONDOWN:
            if (message.hwnd == control(ControlId::AccountList)) {
                openPopupMenu();
            }
            return false;  // the list receives the press once the menu has closed
        default:
            return false;
    }
}

void MainWindow::closeAsCloseButton() {
    SendMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void MainWindow::moveFocus(bool backwards) {
    std::vector<HWND> stops;
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const ControlKind kind = kControls[i].kind;
        const HWND candidate = controls_[i];
        if ((kind == ControlKind::ReportList || kind == ControlKind::EntryBox ||
             kind == ControlKind::PushButton) &&
            IsWindowVisible(candidate) && IsWindowEnabled(candidate)) {
            stops.push_back(candidate);
        }
    }
    if (stops.empty()) {
        return;
    }
    const HWND focus = GetFocus();
    const std::size_t count = stops.size();
    std::size_t next = backwards ? count - 1 : 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (stops[i] == focus || IsChild(stops[i], focus)) {
            next = backwards ? (i + count - 1) % count : (i + 1) % count;
            break;
        }
    }
    SetFocus(stops[next]);
    // As in a dialog: a box reached by Tab has its whole text selected.
    char windowClass[16] = {};
    GetClassNameA(stops[next], windowClass, sizeof windowClass);
    if (lstrcmpiA(windowClass, WC_EDITA) == 0) {
        SendMessageA(stops[next], EM_SETSEL, 0, -1);
    }
}

void MainWindow::openPopupMenu() {
    const HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        return;
    }
    AppendMenuA(menu, MF_STRING, kDeleteItemId, kDeleteItemText);
    AppendMenuA(menu, MF_STRING, kClearItemId, kClearItemText);
    POINT pointer{};
    GetCursorPos(&pointer);
    // A menu whose owner is not the foreground window stays open when the user clicks elsewhere.
    SetForegroundWindow(window_);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD,
                       pointer.x + kPopupOffset, pointer.y + kPopupOffset, 0, window_, nullptr));
    DestroyMenu(menu);
    if (chosen == kDeleteItemId) {
        onDeleteChosen(*this);
    } else if (chosen == kClearItemId) {
        onClearChosen(*this);
    }
}

LRESULT MainWindow::colourStatic(HDC dc, HWND control) {
    const auto found = std::find(controls_.begin(), controls_.end(), control);
    const auto index = static_cast<std::size_t>(found - controls_.begin());
    const bool onWindowColour =
        found != controls_.end() && (kControls[index].kind == ControlKind::Label ||
                                     kControls[index].kind == ControlKind::GroupBox);
    if (!onWindowColour) {
        return DefWindowProcA(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(control));
    }
    // Yellow text straight on the window's colour, without a box of its own: the class's brush.
    SetTextColor(dc, colour(kLabelText));
    SetBkColor(dc, colour(kWindowBackground));
    SetBkMode(dc, TRANSPARENT);
    return static_cast<LRESULT>(GetClassLongPtrA(window_, GCLP_HBRBACKGROUND));
}

void MainWindow::onDestroy() {
    // The will-be-destroyed event: the controls are destroyed only after this, so the file
    // receives every row.
    onMainWindowWillBeDestroyed(*this);
    accounts_->detach();  // a worker that still holds the list now meets an empty one
    if (quitWhenDestroyed_) {
        PostQuitMessage(0);
    }
}

LRESULT MainWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED) {
                if (LOWORD(wParam) == controlIdOf(ControlId::AddButton)) {
                    onAddClicked(*this);
                    return 0;
                }
                if (LOWORD(wParam) == controlIdOf(ControlId::UpdateButton)) {
                    onUpdateClicked(*this);
                    return 0;
                }
            }
            break;
        case WM_CTLCOLORSTATIC:
            return colourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_SETFONT:
            font_ = reinterpret_cast<HFONT>(wParam);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_);
        case WM_ACTIVATE:
            // The focus returns to the control that had it, not to the window itself.
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focus = GetFocus();
                if (focus != nullptr && IsChild(window_, focus)) {
                    focusWhenDeactivated_ = focus;
                }
            } else if (focusWhenDeactivated_ != nullptr && IsWindow(focusWhenDeactivated_)) {
                SetFocus(focusWhenDeactivated_);
                return 0;
            }
            break;
        case WM_CLOSE:
            DestroyWindow(window_);
            return 0;
        case WM_ENDSESSION:
            // The session is ending: close as the close button does, so the accounts are saved.
            if (wParam) {
                DestroyWindow(window_);
            }
            return 0;
        case WM_DESTROY:
            onDestroy();
            return 0;
        default:
            break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self->controls_.fill(nullptr);
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::groupProcedure(HWND group, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR data) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
            return reinterpret_cast<MainWindow*>(data)->handleMessage(message, wParam, lParam);
        case WM_NCDESTROY:
            RemoveWindowSubclass(group, groupProcedure, id);
            break;
        default:
            break;
    }
    return DefSubclassProc(group, message, wParam, lParam);
}

}  // namespace quorvel
