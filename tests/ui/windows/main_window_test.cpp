// The real Win32 main window under the program's message handling: its controls, looks, keys and
// popup menu, its created and will-be-destroyed events, the commands behind its buttons, the
// window system's loop and the message boxes.
#include "ui/windows/main_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "accounts/account_file.h"
#include "accounts/account_row.h"
#include "app/program.h"
#include "platform/message_box.h"
#include "support/box_recorder.h"
#include "support/refused_port.h"
#include "support/temp_dir.h"
#include "ui/windows/win32_test_support.h"
#include "ui/windows/win32_window_system.h"

namespace quorvel {
namespace {

using test::Cells;
using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

using test::className;
using test::windowText;

LONG_PTR styleOf(HWND window) {
    return GetWindowLongPtrA(window, GWL_STYLE);
}

LONG_PTR extendedStyleOf(HWND window) {
    return GetWindowLongPtrA(window, GWL_EXSTYLE);
}

COLORREF brushColour(HBRUSH brush) {
    LOGBRUSH logical{};
    GetObjectA(brush, sizeof logical, &logical);
    return logical.lbColor;
}

// A rectangle relative to the client area of the window's parent.
RECT rectInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void setKeysHeld(const std::vector<int>& keys) {
    BYTE state[256] = {};
    for (int key : keys) {
        state[key] = 0x80;
    }
    SetKeyboardState(state);
}

class MainWindowFixture : public testing::Test {
  protected:
    void SetUp() override {
        window_ = std::make_unique<MainWindow>(accountFile(), test::refusedEndpoints(offline_));
        ASSERT_TRUE(window_->create());
        main_ = window_->handle();
    }
    void TearDown() override {
        setKeysHeld({});
        publicIpText.clear();
    }

    Text accountFile() const { return dir_.file(kAccountFileName); }
    bool accountFileExists() const { return std::filesystem::exists(accountFile()); }

    HWND control(const char* name) const { return findControl(main_, name); }
    HWND list() const { return control("超级列表框1"); }

    void show() {
        window_->showAsForeground();
        ASSERT_TRUE(IsWindowVisible(main_));
    }

    void giveFocus(const char* name) {
        const HWND target = control(name);
        ASSERT_NE(target, nullptr) << name;
        SetFocus(target);
        ASSERT_EQ(GetFocus(), target) << name;
    }

    // The key goes to the control with the focus, as the keyboard sends it.
    void postKey(UINT message, WPARAM key) {
        const LPARAM altFlag = message == WM_SYSKEYDOWN ? (1 << 29) : 0;
        PostMessageA(GetFocus(), message, key, 1 | altFlag);
    }

    void addRows(const std::vector<Cells>& rows) { test::fillList(list(), rows); }

    bool serveUntilWindowGone() {
        return test::serveUntil([this] { return !IsWindow(main_); }, window_.get());
    }

    TempDir dir_;
    test::RefusedPort offline_;  // the created event's address lookup reaches no network
    test::BoxRecorder boxes_;
    std::unique_ptr<MainWindow> window_;
    HWND main_ = nullptr;
};

// ---- Controls -------------------------------------------------------------------------------

enum class Kind { ReportList, GroupBox, Label, EntryBox, PushButton };

struct ExpectedControl {
    const char* role;  // for the test's name
    const char* name;
    Kind kind;
    bool inGroup;
    RECT rect;  // left, top, right, bottom in the parent's client area
    const char* text;
};

void PrintTo(const ExpectedControl& control, std::ostream* out) {
    *out << control.role;
}

const ExpectedControl kExpectedControls[] = {
    {"AccountList", "超级列表框1", Kind::ReportList, false, {6, 7, 506, 362}, ""},
    {"EntryGroup", "分组框1", Kind::GroupBox, false, {512, 1, 632, 224}, ""},
    {"UserNameLabel", "标签1", Kind::Label, true, {12, 14, 52, 34}, "用户名"},
    {"UserNameBox", "编辑框_用户名", Kind::EntryBox, true, {12, 36, 107, 56}, ""},
    {"PasswordLabel", "标签2", Kind::Label, true, {12, 58, 52, 78}, "密码"},
    {"PasswordBox", "编辑框_密码", Kind::EntryBox, true, {12, 80, 107, 100}, ""},
    {"DomainLabel", "标签3", Kind::Label, true, {12, 102, 52, 122}, "域名"},
    {"DomainBox", "编辑框_域名", Kind::EntryBox, true, {12, 124, 107, 144}, ""},
    {"IpLabel", "标签4", Kind::Label, true, {12, 146, 112, 166}, "IP(不填为本机IP)"},
    {"IpBox", "编辑框_IP", Kind::EntryBox, true, {12, 168, 107, 188}, ""},
    {"AddButton", "按钮1", Kind::PushButton, true, {20, 194, 100, 214}, "添加"},
    {"UpdateButton", "按钮2", Kind::PushButton, false, {532, 231, 612, 251}, "一键更新"},
};

class MainWindowControlTest : public MainWindowFixture,
                              public testing::WithParamInterface<ExpectedControl> {};

TEST_P(MainWindowControlTest, HasItsNameParentRectClassStyleTextAndFont) {
    const ExpectedControl& expected = GetParam();
    const HWND widget = control(expected.name);
    ASSERT_NE(widget, nullptr);
    const HWND parent = expected.inGroup ? control("分组框1") : main_;
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(GetParent(widget), parent);
    const RECT rect = rectInParent(widget);
    EXPECT_EQ(rect.left, expected.rect.left);
    EXPECT_EQ(rect.top, expected.rect.top);
    EXPECT_EQ(rect.right, expected.rect.right);
    EXPECT_EQ(rect.bottom, expected.rect.bottom);
    EXPECT_EQ(windowText(widget), expected.text);
    const LONG_PTR style = styleOf(widget);
    const LONG_PTR extended = extendedStyleOf(widget);
    // Every control is visible and enabled for the whole run.
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_FALSE(style & WS_DISABLED);
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(widget, WM_GETFONT, 0, 0)),
              GetStockObject(DEFAULT_GUI_FONT));
    switch (expected.kind) {
        case Kind::ReportList: {
            EXPECT_EQ(className(widget), WC_LISTVIEWA);
            EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
            EXPECT_TRUE(style & LVS_SINGLESEL);
            EXPECT_FALSE(style & LVS_SHOWSELALWAYS) << "the selection shows only with the focus";
            EXPECT_FALSE(style & (LVS_SORTASCENDING | LVS_SORTDESCENDING));
            EXPECT_FALSE(style & LVS_EDITLABELS);
            EXPECT_FALSE(style & LVS_NOCOLUMNHEADER);
            EXPECT_FALSE(style & LVS_OWNERDATA);
            EXPECT_TRUE(extended & WS_EX_CLIENTEDGE) << "sunken border";
            const LRESULT listStyle = SendMessageA(widget, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
            EXPECT_EQ(listStyle, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
            break;
        }
        case Kind::GroupBox:
            EXPECT_EQ(className(widget), WC_BUTTONA);
            EXPECT_EQ(style & BS_TYPEMASK, BS_GROUPBOX);
            break;
        case Kind::Label:
            EXPECT_EQ(className(widget), WC_STATICA);
            EXPECT_EQ(style & SS_TYPEMASK, SS_LEFT);
            EXPECT_TRUE(style & SS_CENTERIMAGE) << "one line, centred vertically";
            EXPECT_FALSE(style & (WS_BORDER | SS_SUNKEN));
            EXPECT_FALSE(extended & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
            break;
        case Kind::EntryBox:
            EXPECT_EQ(className(widget), WC_EDITA);
            EXPECT_TRUE(style & ES_AUTOHSCROLL);
            EXPECT_TRUE(style & WS_TABSTOP);
            EXPECT_FALSE(style & (ES_MULTILINE | ES_PASSWORD | ES_UPPERCASE | ES_LOWERCASE |
                                  ES_READONLY | ES_NOHIDESEL | ES_NUMBER | ES_CENTER | ES_RIGHT));
            EXPECT_TRUE(extended & WS_EX_CLIENTEDGE) << "sunken border";
            EXPECT_EQ(SendMessageA(widget, EM_GETPASSWORDCHAR, 0, 0), 0) << "shown as typed";
            break;
        case Kind::PushButton:
            EXPECT_EQ(className(widget), WC_BUTTONA);
            EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << "not the default button";
            EXPECT_TRUE(style & WS_TABSTOP);
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryControl, MainWindowControlTest, testing::ValuesIn(kExpectedControls),
                         [](const testing::TestParamInfo<ExpectedControl>& info) {
                             return std::string(info.param.role);
                         });

using MainWindowTest = MainWindowFixture;

TEST_F(MainWindowTest, UnknownNamesFindNoControl) {
    EXPECT_EQ(control("按钮3"), nullptr);
    EXPECT_EQ(control(""), nullptr);
    EXPECT_EQ(findControl(nullptr, "按钮1"), nullptr);
}

// ---- The window -----------------------------------------------------------------------------

TEST_F(MainWindowTest, CaptionNamesTheProgramWithACredit) {
    const std::string caption = windowText(main_);
    EXPECT_TRUE(caption.starts_with("Quorvel V1.0 ")) << caption;
    EXPECT_GT(caption.size(), std::strlen("Quorvel V1.0 ")) << "no credit after the version";
}

TEST_F(MainWindowTest, IsAFixedSizeWindowWithMinimiseButCannotBeMaximisedOrResized) {
    const LONG_PTR style = styleOf(main_);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_CHILD);
    EXPECT_EQ(GetMenu(main_), nullptr) << "no menu bar";
    EXPECT_FALSE(IsWindowVisible(main_)) << "created invisible";
    ASSERT_NO_FATAL_FAILURE(show());
    // The border is no sizing border: no edge of the frame offers to resize.
    RECT frame{};
    GetWindowRect(main_, &frame);
    const POINT edges[] = {{frame.left, (frame.top + frame.bottom) / 2},
                           {frame.right - 1, (frame.top + frame.bottom) / 2},
                           {(frame.left + frame.right) / 2, frame.bottom - 1},
                           {frame.right - 1, frame.bottom - 1}};
    for (const POINT& edge : edges) {
        const LRESULT hit = SendMessageA(main_, WM_NCHITTEST, 0, MAKELPARAM(edge.x, edge.y));
        EXPECT_TRUE(hit < HTSIZEFIRST || hit > HTSIZELAST) << "hit " << hit;
    }
    // Minimised and restored, it comes back as it was.
    ShowWindow(main_, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(main_));
    ShowWindow(main_, SW_RESTORE);
    EXPECT_FALSE(IsIconic(main_));
    RECT restored{};
    GetWindowRect(main_, &restored);
    EXPECT_TRUE(EqualRect(&restored, &frame));
}

// Whatever the screen, the outer rectangle is 643 x 418 and centred; the client area is what the
// frame of such a window leaves.
TEST_F(MainWindowTest, OuterSizeIsExactAndCentredAndTheClientAreaIsWhatTheFrameLeaves) {
    for (bool shown : {false, true}) {
        if (shown) {
            ASSERT_NO_FATAL_FAILURE(show());
        }
        RECT outer{};
        GetWindowRect(main_, &outer);
        EXPECT_EQ(outer.right - outer.left, 643);
        EXPECT_EQ(outer.bottom - outer.top, 418);
        EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - 643) / 2);
        EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - 418) / 2);
        RECT frame{0, 0, 0, 0};
        AdjustWindowRectEx(&frame, static_cast<DWORD>(styleOf(main_)), FALSE,
                           static_cast<DWORD>(extendedStyleOf(main_)));
        RECT client{};
        GetClientRect(main_, &client);
        EXPECT_EQ(client.right, 643 - (frame.right - frame.left)) << "shown " << shown;
        EXPECT_EQ(client.bottom, 418 - (frame.bottom - frame.top)) << "shown " << shown;
    }
}

SIZE iconSize(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return {0, 0};
    }
    BITMAP bitmap{};
    GetObjectA(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, bitmap.bmHeight};
}

// The test program carries the program's icon resource, as quorvel.exe does.
TEST_F(MainWindowTest, IconHasTheLargeAndTheSmallSize) {
    const SIZE large = iconSize(reinterpret_cast<HICON>(GetClassLongPtrA(main_, GCLP_HICON)));
    EXPECT_EQ(large.cx, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(large.cy, GetSystemMetrics(SM_CYICON));
    const SIZE small = iconSize(reinterpret_cast<HICON>(GetClassLongPtrA(main_, GCLP_HICONSM)));
    EXPECT_EQ(small.cx, GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(small.cy, GetSystemMetrics(SM_CYSMICON));
    EXPECT_NE(large.cx, small.cx);
}

TEST_F(MainWindowTest, WindowAndEveryControlUseTheDefaultGuiFont) {
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(main_, WM_GETFONT, 0, 0)),
              GetStockObject(DEFAULT_GUI_FONT));
    const HWND header = reinterpret_cast<HWND>(SendMessageA(list(), LVM_GETHEADER, 0, 0));
    EXPECT_EQ(reinterpret_cast<HGDIOBJ>(SendMessageA(header, WM_GETFONT, 0, 0)),
              GetStockObject(DEFAULT_GUI_FONT));
}

// The colours as each control asks its parent for them.
TEST_F(MainWindowTest, LabelsAndGroupAreYellowOnTheWindowsBlueAndEntryBoxesBlackOnWhite) {
    EXPECT_EQ(brushColour(reinterpret_cast<HBRUSH>(GetClassLongPtrA(main_, GCLP_HBRBACKGROUND))),
              RGB(0x00, 0x88, 0xFF));
    const HDC dc = GetDC(main_);
    for (const char* name : {"标签1", "标签2", "标签3", "标签4", "分组框1"}) {
        const HWND widget = control(name);
        SetTextColor(dc, RGB(1, 2, 3));
        const auto brush = reinterpret_cast<HBRUSH>(
            SendMessageA(GetParent(widget), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                         reinterpret_cast<LPARAM>(widget)));
        EXPECT_EQ(brushColour(brush), RGB(0x00, 0x88, 0xFF)) << name;
        EXPECT_EQ(GetTextColor(dc), RGB(0xFF, 0xFF, 0x00)) << name;
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT) << name << ": no box of its own around the text";
    }
    for (const char* name : {"编辑框_用户名", "编辑框_密码", "编辑框_域名", "编辑框_IP"}) {
        const HWND widget = control(name);
        SetTextColor(dc, RGB(1, 2, 3));
        const auto brush = reinterpret_cast<HBRUSH>(SendMessageA(GetParent(widget), WM_CTLCOLOREDIT,
                                                                 reinterpret_cast<WPARAM>(dc),
                                                                 reinterpret_cast<LPARAM>(widget)));
        EXPECT_EQ(brushColour(brush), GetSysColor(COLOR_WINDOW)) << name;
        EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT)) << name;
    }
    ReleaseDC(main_, dc);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
    EXPECT_EQ(SendMessageA(list(), LVM_GETTEXTCOLOR, 0, 0), RGB(0xFF, 0xFF, 0x00));
    EXPECT_EQ(SendMessageA(list(), LVM_GETTEXTBKCOLOR, 0, 0), RGB(0x00, 0x00, 0xFF));
    EXPECT_EQ(SendMessageA(list(), LVM_GETBKCOLOR, 0, 0), RGB(0x00, 0x00, 0xFF));
}

bool containsColour(HDC dc, const RECT& area, COLORREF wanted) {
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (GetPixel(dc, x, y) == wanted) {
                return true;
            }
        }
    }
    return false;
}

// And what is drawn on the screen.
TEST_F(MainWindowTest, ColoursAreDrawn) {
    addRows({{"IIIIHHHH", "", "", "", ""}});
    ASSERT_NO_FATAL_FAILURE(show());
    RedrawWindow(main_, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ASSERT_TRUE(test::servePosted(window_.get()));
    const HDC dc = GetDC(nullptr);  // the screen
    const auto screenPoint = [](HWND window, int x, int y) {
        POINT point{x, y};
        ClientToScreen(window, &point);
        return point;
    };
    const POINT background = screenPoint(main_, 3, 380);
    EXPECT_EQ(GetPixel(dc, background.x, background.y), RGB(0x00, 0x88, 0xFF)) << "window";
    const POINT belowGroup = screenPoint(main_, 570, 226);
    EXPECT_EQ(GetPixel(dc, belowGroup.x, belowGroup.y), RGB(0x00, 0x88, 0xFF)) << "by the group";
    const POINT insideGroup = screenPoint(control("分组框1"), 110, 100);
    EXPECT_EQ(GetPixel(dc, insideGroup.x, insideGroup.y), RGB(0x00, 0x88, 0xFF)) << "group";
    const HWND label = control("标签4");
    const POINT labelCorner = screenPoint(label, 0, 0);
    EXPECT_EQ(GetPixel(dc, labelCorner.x, labelCorner.y), RGB(0x00, 0x88, 0xFF)) << "label";
    RECT labelArea{};
    GetWindowRect(label, &labelArea);
    EXPECT_TRUE(containsColour(dc, labelArea, RGB(0xFF, 0xFF, 0x00))) << "label text";
    const POINT listInside = screenPoint(list(), 250, 300);
    EXPECT_EQ(GetPixel(dc, listInside.x, listInside.y), RGB(0x00, 0x00, 0xFF)) << "list";
    RECT cell{};
    cell.left = LVIR_LABEL;
    SendMessageA(list(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&cell));
    MapWindowPoints(list(), HWND_DESKTOP, reinterpret_cast<POINT*>(&cell), 2);
    EXPECT_TRUE(containsColour(dc, cell, RGB(0xFF, 0xFF, 0x00))) << "list text";
    EXPECT_TRUE(containsColour(dc, cell, RGB(0x00, 0x00, 0xFF))) << "list text background";
    const HWND box = control("编辑框_IP");
    const POINT boxInside = screenPoint(box, 80, 10);
    EXPECT_EQ(GetPixel(dc, boxInside.x, boxInside.y), RGB(0xFF, 0xFF, 0xFF)) << "entry box";
    ReleaseDC(nullptr, dc);
}

TEST_F(MainWindowTest, ListHasFiveLeftAlignedColumnsAndAHeaderThatDoesNotSort) {
    const char* const titles[] = {"用户名", "密码", "域名", "IP", "更新状态"};
    const int widths[] = {100, 100, 100, 90, 90};
    for (int index = 0; index < 5; ++index) {
        char title[64] = {};
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_IMAGE;
        column.pszText = title;
        column.cchTextMax = sizeof title;
        ASSERT_TRUE(SendMessageA(list(), LVM_GETCOLUMNA, static_cast<WPARAM>(index),
                                 reinterpret_cast<LPARAM>(&column)))
            << index;
        EXPECT_STREQ(title, titles[index]);
        EXPECT_EQ(column.cx, widths[index]) << index;
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT) << index;
        EXPECT_FALSE(column.fmt & (LVCFMT_IMAGE | LVCFMT_BITMAP_ON_RIGHT)) << index;
    }
    LVCOLUMNA sixth{};
    sixth.mask = LVCF_WIDTH;
    EXPECT_FALSE(SendMessageA(list(), LVM_GETCOLUMNA, 5, reinterpret_cast<LPARAM>(&sixth)));
    EXPECT_EQ(SendMessageA(list(), LVM_GETITEMCOUNT, 0, 0), 0) << "the list starts empty";
    const HWND header = reinterpret_cast<HWND>(SendMessageA(list(), LVM_GETHEADER, 0, 0));
    ASSERT_NE(header, nullptr);
    ASSERT_NO_FATAL_FAILURE(show());
    EXPECT_TRUE(IsWindowVisible(header));

    // A click on a column title does not reorder the rows.
    addRows({{"b", "", "", "", ""}, {"a", "", "", "", ""}, {"c", "", "", "", ""}});
    RECT title{};
    SendMessageA(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&title));
    const LPARAM at = MAKELPARAM(title.left + 10, (title.top + title.bottom) / 2);
    PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(header, WM_LBUTTONUP, 0, at);
    ASSERT_TRUE(test::servePosted(window_.get()));
    EXPECT_EQ(test::listCell(list(), 0, UserName), "b");
    EXPECT_EQ(test::listCell(list(), 1, UserName), "a");
    EXPECT_EQ(test::listCell(list(), 2, UserName), "c");
}

// ---- Created event and showing ---------------------------------------------------------------

// What the program's message box handler saw when the created event's lookup asked for its box.
struct SeenAtBox {
    bool asked = false;
    bool windowVisible = true;
    int rows = -1;
    Text text;
};

// This thread's main window, shown or not; never the window of another test program that runs
// at the same time.
HWND ownMainWindow() {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, kMainWindowClass, nullptr)) != nullptr) {
        if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
            return window;
        }
    }
    return nullptr;
}

TEST(MainWindowStartTest, CreatedEventLoadsTheFileAndLooksUpBeforeTheWindowIsShown) {
    TempDir dir;
    test::RefusedPort offline;
    writeFileBytes(dir.file(kAccountFileName),
                   "用户甲|密码甲|a.example.org|10.0.0.1\r\n"
                   "user2|p|乙.example.org\r\n");
    Win32WindowSystem windows(dir.file(kAccountFileName), test::refusedEndpoints(offline));
    SeenAtBox seen;
    const MessageBoxHandler previous =
        installMessageBoxHandler([&](const MessageBoxRequest& request) {
            const HWND main = ownMainWindow();
            seen.asked = true;
            seen.windowVisible = main != nullptr && IsWindowVisible(main);
            seen.rows = windows.mainWindow()->accountList()->rowCount();
            seen.text = request.text;
        });
    ASSERT_TRUE(windows.createMainWindow());
    installMessageBoxHandler(previous);
    // The refused endpoints make the lookup fail: its box came while the window was invisible
    // and the file already loaded.
    ASSERT_TRUE(seen.asked);
    EXPECT_EQ(seen.text, "未与互联网连接！");
    EXPECT_FALSE(seen.windowVisible);
    EXPECT_EQ(seen.rows, 2);
    // Then shown, normal, in front, with the focus in the first entry box.
    MainWindow& window = *windows.mainWindow();
    EXPECT_TRUE(windows.mainWindowExists());
    EXPECT_TRUE(IsWindowVisible(window.handle()));
    EXPECT_FALSE(IsIconic(window.handle()));
    EXPECT_EQ(GetForegroundWindow(), window.handle());
    EXPECT_EQ(GetFocus(), window.control(ControlId::UserNameBox));
    AccountList& list = *window.accountList();
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(test::listRows(window.control(ControlId::AccountList)),
              (std::vector<Cells>{{"用户甲", "密码甲", "a.example.org", "10.0.0.1", ""},
                                  {"user2", "p", "乙.example.org", "", ""}}));
}

// A window that the created event's box outlived (the session ended meanwhile) is not shown, and
// no loop is run for it.
TEST(MainWindowStartTest, WindowClosedDuringTheCreatedEventIsNotShown) {
    TempDir dir;
    test::RefusedPort offline;
    Win32WindowSystem windows(dir.file(kAccountFileName), test::refusedEndpoints(offline));
    const MessageBoxHandler previous = installMessageBoxHandler(
        [](const MessageBoxRequest&) { SendMessageA(ownMainWindow(), WM_ENDSESSION, TRUE, 0); });
    ASSERT_TRUE(windows.createMainWindow());
    installMessageBoxHandler(previous);
    EXPECT_FALSE(windows.mainWindowExists());
    EXPECT_EQ(ownMainWindow(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(dir.file(kAccountFileName))) << "saved on the way out";
    windows.runMessageLoop();  // returns at once: there is nothing to wait for
    MSG quit;
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// ---- Closing --------------------------------------------------------------------------------

// Rows whose bytes the save must keep exactly: two-byte characters, the single-byte code points
// 0x80 and 0xFF, an empty IP; the status column is never saved.
const std::vector<Cells> kRowsToSave{
    {"用户甲", "密码甲", "a.example.org", "10.0.0.1", "更新成功!"},
    {"\xFF\x80"
     "abc",
     "p", "b.example.org", "", "x"},
};
const Text kSavedRows =
    "用户甲|密码甲|a.example.org|10.0.0.1\r\n"
    "\xFF\x80"
    "abc|p|b.example.org|\r\n";

class EscClosesTest : public MainWindowFixture, public testing::WithParamInterface<const char*> {};

TEST_P(EscClosesTest, EscClosesTheWindowAndSavesTheRows) {
    addRows(kRowsToSave);
    ASSERT_NO_FATAL_FAILURE(show());
    ASSERT_NO_FATAL_FAILURE(giveFocus(GetParam()));
    postKey(WM_KEYDOWN, VK_ESCAPE);
    ASSERT_TRUE(serveUntilWindowGone());
    EXPECT_FALSE(window_->exists());
    EXPECT_EQ(readFileBytes(accountFile()), kSavedRows);
}

INSTANTIATE_TEST_SUITE_P(FocusAnywhere, EscClosesTest,
                         testing::Values("超级列表框1", "编辑框_用户名", "编辑框_密码",
                                         "编辑框_域名", "编辑框_IP", "按钮1", "按钮2"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return "FocusOnControl" + std::to_string(info.index);
                         });

struct HeldEsc {
    const char* name;
    UINT message;  // as the keyboard sends Esc with these keys held
    std::vector<int> held;
};

void PrintTo(const HeldEsc& held, std::ostream* out) {
    *out << held.name;
}

class EscWithModifierTest : public MainWindowFixture,
                            public testing::WithParamInterface<HeldEsc> {};

TEST_P(EscWithModifierTest, DoesNotClose) {
    addRows(kRowsToSave);
    ASSERT_NO_FATAL_FAILURE(show());
    ASSERT_NO_FATAL_FAILURE(giveFocus("编辑框_用户名"));
    setKeysHeld(GetParam().held);
    postKey(GetParam().message, VK_ESCAPE);
    ASSERT_TRUE(test::servePosted(window_.get()));
    EXPECT_TRUE(window_->exists());
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_FALSE(accountFileExists());
    // Plain Esc at the same place still closes it.
    setKeysHeld({});
    postKey(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_TRUE(serveUntilWindowGone());
    EXPECT_EQ(readFileBytes(accountFile()), kSavedRows);
}

INSTANTIATE_TEST_SUITE_P(Modifiers, EscWithModifierTest,
                         testing::Values(HeldEsc{"Shift", WM_KEYDOWN, {VK_SHIFT, VK_LSHIFT}},
                                         HeldEsc{"Ctrl", WM_KEYDOWN, {VK_CONTROL, VK_LCONTROL}},
                                         HeldEsc{"Alt", WM_SYSKEYDOWN, {VK_MENU, VK_LMENU}},
                                         HeldEsc{"ShiftCtrl", WM_KEYDOWN, {VK_SHIFT, VK_CONTROL}}),
                         [](const testing::TestParamInfo<HeldEsc>& info) {
                             return std::string(info.param.name);
                         });

struct CloseRequest {
    const char* name;
    UINT message;
    WPARAM wParam;
    bool closes;
};

void PrintTo(const CloseRequest& request, std::ostream* out) {
    *out << request.name;
}

class CloseRequestTest : public MainWindowFixture,
                         public testing::WithParamInterface<CloseRequest> {};

// The close button, the system menu and Alt+F4 all come as SC_CLOSE; a session that ends closes
// the window too, so the accounts are saved.
TEST_P(CloseRequestTest, ClosesAndSavesOrLeavesAllAsItWas) {
    addRows(kRowsToSave);
    ASSERT_NO_FATAL_FAILURE(show());
    SendMessageA(main_, GetParam().message, GetParam().wParam, 0);
    if (GetParam().closes) {
        EXPECT_FALSE(IsWindow(main_));
        EXPECT_EQ(readFileBytes(accountFile()), kSavedRows);
    } else {
        EXPECT_TRUE(IsWindowVisible(main_));
        EXPECT_FALSE(accountFileExists());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, CloseRequestTest,
    testing::Values(CloseRequest{"CloseCommand", WM_SYSCOMMAND, SC_CLOSE, true},
                    CloseRequest{"CloseMessage", WM_CLOSE, 0, true},
                    CloseRequest{"SessionEnds", WM_ENDSESSION, TRUE, true},
                    CloseRequest{"SessionGoesOn", WM_ENDSESSION, FALSE, false}),
    [](const testing::TestParamInfo<CloseRequest>& info) { return std::string(info.param.name); });

// The will-be-destroyed event runs while the controls exist, and a worker that holds the list
// meets an empty one afterwards.
TEST_F(MainWindowTest, ClosingDetachesTheListAfterSaving) {
    addRows(kRowsToSave);
    std::shared_ptr<AccountList> held = window_->accountList();
    SendMessageA(main_, WM_CLOSE, 0, 0);
    EXPECT_EQ(readFileBytes(accountFile()), kSavedRows);
    EXPECT_EQ(held->rowCount(), 0);
    EXPECT_EQ(held->insertRow("x"), -1);
}

// Destroying the window ends the loop only once the loop has been entered.
TEST_F(MainWindowTest, DestructionPostsTheQuitRequestOnlyOnceAsked) {
    MSG quit;
    DestroyWindow(main_);
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    MainWindow second(dir_.file("second.ini"), test::refusedEndpoints(offline_));
    ASSERT_TRUE(second.create());
    second.quitWhenDestroyed();
    DestroyWindow(second.handle());
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

// ---- Keys -----------------------------------------------------------------------------------

// Counts the clicks that either button reports, wherever its parent is.
class ClickCounter {
  public:
    explicit ClickCounter(std::initializer_list<HWND> parents) : parents_(parents) {
        for (HWND parent : parents_) {
            SetWindowSubclass(parent, count, 0, reinterpret_cast<DWORD_PTR>(this));
        }
    }
    ~ClickCounter() {
        for (HWND parent : parents_) {
            RemoveWindowSubclass(parent, count, 0);
        }
    }
    int clicks = 0;

  private:
    static LRESULT CALLBACK count(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
        if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
            ++reinterpret_cast<ClickCounter*>(data)->clicks;
        }
        return DefSubclassProc(window, message, wParam, lParam);
    }
    std::vector<HWND> parents_;
};

TEST_F(MainWindowTest, EnterPressesNoButtonAndMovesNoFocus) {
    ASSERT_NO_FATAL_FAILURE(show());
    for (const char* name : {"按钮1", "按钮2"}) {
        EXPECT_EQ(styleOf(control(name)) & BS_TYPEMASK, BS_PUSHBUTTON) << name;
    }
    ClickCounter counter({main_, control("分组框1")});
    for (const char* name : {"超级列表框1", "编辑框_用户名", "编辑框_密码", "编辑框_域名",
                             "编辑框_IP", "按钮1", "按钮2"}) {
        ASSERT_NO_FATAL_FAILURE(giveFocus(name));
        postKey(WM_KEYDOWN, VK_RETURN);
        PostMessageA(GetFocus(), WM_KEYUP, VK_RETURN, 0xC0000001);
        ASSERT_TRUE(test::servePosted(window_.get()));
        EXPECT_EQ(GetFocus(), control(name)) << "Enter moved the focus from " << name;
    }
    EXPECT_EQ(counter.clicks, 0);
    EXPECT_TRUE(boxes_.boxes.empty());
    EXPECT_EQ(SendMessageA(list(), LVM_GETITEMCOUNT, 0, 0), 0);
    // The counter does see a click.
    SendMessageA(control("按钮1"), BM_CLICK, 0, 0);
    EXPECT_EQ(counter.clicks, 1);
}

TEST_F(MainWindowTest, TabAndShiftTabVisitEveryControlThatTakesTheFocusInLayoutOrder) {
    ASSERT_NO_FATAL_FAILURE(show());
    SetWindowTextA(control("编辑框_密码"), "secret");
    const char* const order[] = {"超级列表框1", "编辑框_用户名", "编辑框_密码", "编辑框_域名",
                                 "编辑框_IP",   "按钮1",         "按钮2"};
    constexpr int kStops = 7;
    ASSERT_NO_FATAL_FAILURE(giveFocus(order[0]));
    for (int step = 1; step <= kStops; ++step) {
        postKey(WM_KEYDOWN, VK_TAB);
        ASSERT_TRUE(test::servePosted(window_.get()));
        EXPECT_EQ(GetFocus(), control(order[step % kStops])) << "Tab " << step;
    }
    setKeysHeld({VK_SHIFT, VK_LSHIFT});
    for (int step = 1; step <= kStops; ++step) {
        postKey(WM_KEYDOWN, VK_TAB);
        ASSERT_TRUE(test::servePosted(window_.get()));
        EXPECT_EQ(GetFocus(), control(order[(kStops - step) % kStops])) << "Shift+Tab " << step;
    }
    setKeysHeld({});
    // Reached by Tab, a box has its text selected, as in a dialog; no tab character is typed.
    ASSERT_NO_FATAL_FAILURE(giveFocus("编辑框_用户名"));
    postKey(WM_KEYDOWN, VK_TAB);
    ASSERT_TRUE(test::servePosted(window_.get()));
    DWORD start = 1;
    DWORD end = 0;
    SendMessageA(control("编辑框_密码"), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 6u);
    EXPECT_EQ(windowText(control("编辑框_用户名")), "");
    EXPECT_EQ(windowText(control("编辑框_密码")), "secret");
}

// ---- Entry boxes ----------------------------------------------------------------------------

void typeChars(HWND box, const std::string& text) {
    for (char c : text) {
        PostMessageA(box, WM_CHAR, static_cast<unsigned char>(c), 1);
    }
}

bool putOnClipboard(HWND owner, const std::string& text) {
    if (!OpenClipboard(owner)) {
        return false;
    }
    EmptyClipboard();
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
    GlobalUnlock(memory);
    const bool put = SetClipboardData(CF_TEXT, memory) != nullptr;
    CloseClipboard();
    return put;
}

struct EntryCase {
    const char* box;
    std::string typed;
    std::string keptWhenTyped;
    std::string pasted;
    std::string keptWhenPasted;
};

void PrintTo(const EntryCase& entry, std::ostream* out) {
    *out << entry.box;
}

class EntryBoxTest : public MainWindowFixture, public testing::WithParamInterface<EntryCase> {};

TEST_P(EntryBoxTest, KeepsWhatIsTypedOrPastedUpToItsLimit) {
    const EntryCase& entry = GetParam();
    ASSERT_NO_FATAL_FAILURE(show());
    ASSERT_NO_FATAL_FAILURE(giveFocus(entry.box));
    const HWND box = control(entry.box);
    typeChars(box, entry.typed);
    ASSERT_TRUE(test::servePosted(window_.get()));
    EXPECT_EQ(windowText(box), entry.keptWhenTyped);
    SetWindowTextA(box, "");
    ASSERT_TRUE(putOnClipboard(main_, entry.pasted));
    SendMessageA(box, WM_PASTE, 0, 0);
    EXPECT_EQ(windowText(box), entry.keptWhenPasted);
    EXPECT_EQ(window_->entryText(entry.box == std::string("编辑框_IP") ? EntryBox::Ip
                                                                       : EntryBox::UserName),
              entry.box == std::string("编辑框_IP") || entry.box == std::string("编辑框_用户名")
                  ? entry.keptWhenPasted
                  : Text());
}

const std::string kLongTyped = [] {
    std::string text;
    for (int i = 0; i < 30; ++i) {
        text += "user.name-";
    }
    return text;
}();
const std::string kLongPasted = [] {
    std::string text;
    for (int i = 0; i < 40; ++i) {
        text += "域名-example-";
    }
    return text;
}();

INSTANTIATE_TEST_SUITE_P(
    Boxes, EntryBoxTest,
    testing::Values(EntryCase{"编辑框_IP", "123.123.123.1234", "123.123.123.123",
                              "255.255.255.2551", "255.255.255.255"},
                    EntryCase{"编辑框_用户名", kLongTyped, kLongTyped, kLongPasted, kLongPasted},
                    EntryCase{"编辑框_密码", kLongTyped, kLongTyped, kLongPasted, kLongPasted},
                    EntryCase{"编辑框_域名", kLongTyped, kLongTyped, kLongPasted, kLongPasted}),
    [](const testing::TestParamInfo<EntryCase>& info) {
        return "Box" + std::to_string(info.index);
    });

// ---- Popup menu -----------------------------------------------------------------------------

enum class MenuAction { Dismiss, ChooseDelete, ChooseClear };

struct PopupSeen {
    bool opened = false;
    RECT rect{};
    std::vector<std::string> items;
    int separators = 0;
    int disabled = 0;
    HWND owner = nullptr;
    int selectedWhileOpen = -2;  // the list's selection while the menu is open
};

// A right-button press on the list at a point of its client area, the pointer there. A helper
// thread finds the menu (the UI thread sits in its loop meanwhile), notes what it shows, works it
// with the keyboard, and once the menu has gone releases the button, which ends the list's own
// handling of the press.
PopupSeen rightPressOnList(MainWindow& window, POINT at, MenuAction action) {
    const HWND list = window.control(ControlId::AccountList);
    POINT onScreen = at;
    ClientToScreen(list, &onScreen);
    SetCursorPos(onScreen.x, onScreen.y);
    auto seen = std::make_shared<PopupSeen>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<AccountList> accounts = window.accountList();
    const DWORD uiThread = GetCurrentThreadId();
    std::thread helper([=] {
        const HWND menu = test::waitForThreadWindow(uiThread, "#32768");
        if (menu != nullptr) {
            seen->opened = true;
            GetWindowRect(menu, &seen->rect);
            seen->owner = GetWindow(menu, GW_OWNER);
            const auto items = reinterpret_cast<HMENU>(SendMessageA(menu, 0x01E1, 0, 0));
            for (int i = 0; i < GetMenuItemCount(items); ++i) {
                char text[64] = {};
                MENUITEMINFOA item{};
                item.cbSize = sizeof item;
                item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
                item.dwTypeData = text;
                item.cch = sizeof text;
                GetMenuItemInfoA(items, static_cast<UINT>(i), TRUE, &item);
                if (item.fType & MFT_SEPARATOR) {
                    ++seen->separators;
                } else {
                    seen->items.emplace_back(text);
                }
                if (item.fState & MFS_DISABLED) {
                    ++seen->disabled;
                }
            }
            // Served by the menu's own loop.
            seen->selectedWhileOpen = accounts->selectedRow();
            const auto key = [menu](WPARAM code) {
                PostMessageA(menu, WM_KEYDOWN, code, 1);
                PostMessageA(menu, WM_KEYUP, code, 0xC0000001);
            };
            switch (action) {
                case MenuAction::Dismiss:
                    key(VK_ESCAPE);
                    break;
                case MenuAction::ChooseDelete:
                    key(VK_DOWN);
                    key(VK_RETURN);
                    break;
                case MenuAction::ChooseClear:
                    key(VK_DOWN);
                    key(VK_DOWN);
                    key(VK_RETURN);
                    break;
            }
            test::waitWithoutMessages([menu] { return !IsWindowVisible(menu); });
        }
        PostMessageA(list, WM_RBUTTONUP, 0, test::pointParam(at));
        done->store(true);
    });
    PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, test::pointParam(at));
    const bool finished = test::serveUntil([&] { return done->load(); }, &window);
    if (finished) {
        helper.join();
        test::servePosted(&window);
    } else {
        helper.detach();
    }
    return *seen;
}

struct PopupCase {
    const char* name;
    std::vector<Cells> rows;
    int userSelects;  // -1: no row selected before the press
    int pressedRow;   // -1: below the rows
    MenuAction action;
    std::vector<Cells> rowsAfter;
    bool fileKept;
    int selectedAfter;  // the list handled the press once the menu had gone
};

void PrintTo(const PopupCase& popup, std::ostream* out) {
    *out << popup.name;
}

const Cells kRow0{"甲", "1", "a", "", ""};
const Cells kRow1{"乙", "2", "b", "", ""};
const Cells kRow2{"丙", "3", "c", "", ""};

class PopupMenuTest : public MainWindowFixture, public testing::WithParamInterface<PopupCase> {};

TEST_P(PopupMenuTest, OpensBelowRightOfThePointerAndRunsTheChosenCommand) {
    const PopupCase& popup = GetParam();
    writeFileBytes(accountFile(), "甲|1|a|\r\n");
    addRows(popup.rows);
    ASSERT_NO_FATAL_FAILURE(show());
    if (popup.userSelects >= 0) {
        ASSERT_TRUE(test::clickRow(*window_, list(), popup.userSelects));
    }
    ASSERT_EQ(test::listSelectedRow(list()), popup.userSelects);
    const POINT at =
        popup.pressedRow >= 0 ? test::rowCentre(list(), popup.pressedRow) : POINT{40, 300};
    POINT pointer = at;
    ClientToScreen(list(), &pointer);
    const PopupSeen seen = rightPressOnList(*window_, at, popup.action);
    ASSERT_TRUE(seen.opened);
    EXPECT_EQ(seen.rect.left, pointer.x + 3);
    EXPECT_EQ(seen.rect.top, pointer.y + 3);
    EXPECT_EQ(seen.items, (std::vector<std::string>{"删除", "清空"}));
    EXPECT_EQ(seen.separators, 0);
    EXPECT_EQ(seen.disabled, 0);
    EXPECT_EQ(seen.selectedWhileOpen, popup.userSelects) << "the press reached the list early";
    EXPECT_EQ(test::listRows(list()), popup.rowsAfter);
    EXPECT_EQ(accountFileExists(), popup.fileKept);
    EXPECT_EQ(test::listSelectedRow(list()), popup.selectedAfter);
    EXPECT_EQ(GetFocus(), list()) << "the list took the focus on the press";
    EXPECT_TRUE(IsWindowVisible(main_)) << "Esc in the menu closes only the menu";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PopupMenuTest,
    testing::Values(PopupCase{"EmptyListDismissed", {}, -1, -1, MenuAction::Dismiss, {}, true, -1},
                    PopupCase{"DismissedChangesNothing",
                              {kRow0, kRow1},
                              0,
                              0,
                              MenuAction::Dismiss,
                              {kRow0, kRow1},
                              true,
                              0},
                    PopupCase{"PressOnAnUnselectedRowSelectsItAfterTheMenu",
                              {kRow0, kRow1, kRow2},
                              -1,
                              1,
                              MenuAction::Dismiss,
                              {kRow0, kRow1, kRow2},
                              true,
                              1},
                    PopupCase{"DeleteRemovesTheSelectedRow",
                              {kRow0, kRow1, kRow2},
                              1,
                              1,
                              MenuAction::ChooseDelete,
                              {kRow0, kRow2},
                              true,
                              1},
                    PopupCase{"DeleteWithoutSelectionRemovesNothing",
                              {kRow0, kRow1},
                              -1,
                              -1,
                              MenuAction::ChooseDelete,
                              {kRow0, kRow1},
                              true,
                              -1},
                    PopupCase{"ClearEmptiesTheListAndDeletesTheFile",
                              {kRow0, kRow1},
                              1,
                              -1,
                              MenuAction::ChooseClear,
                              {},
                              false,
                              -1},
                    PopupCase{"ClearOnAnEmptyListDeletesTheFile",
                              {},
                              -1,
                              -1,
                              MenuAction::ChooseClear,
                              {},
                              false,
                              -1}),
    [](const testing::TestParamInfo<PopupCase>& info) { return std::string(info.param.name); });

// ---- Commands through the controls
// ---------------------------------------------------------------

struct AddCase {
    const char* name;
    std::array<std::string, 4> typed;  // user name, password, domain, IP
    std::string publicIp;
    std::vector<Cells> rowsAfter;  // after two clicks on 添加
    int boxes;
};

void PrintTo(const AddCase& add, std::ostream* out) {
    *out << add.name;
}

class AddButtonTest : public MainWindowFixture, public testing::WithParamInterface<AddCase> {};

TEST_P(AddButtonTest, AddsTheTypedAccountOrShowsTheBox) {
    const AddCase& add = GetParam();
    publicIpText = add.publicIp;
    ASSERT_NO_FATAL_FAILURE(show());
    const char* const boxNames[] = {"编辑框_用户名", "编辑框_密码", "编辑框_域名", "编辑框_IP"};
    for (int i = 0; i < 4; ++i) {
        const HWND box = control(boxNames[i]);
        SendMessageA(box, EM_SETSEL, 0, -1);
        SendMessageA(box, EM_REPLACESEL, TRUE,
                     reinterpret_cast<LPARAM>(add.typed[static_cast<std::size_t>(i)].c_str()));
    }
    for (int click = 0; click < 2; ++click) {
        SendMessageA(control("按钮1"), BM_CLICK, 0, 0);
    }
    EXPECT_EQ(test::listRows(list()), add.rowsAfter);
    ASSERT_EQ(static_cast<int>(boxes_.boxes.size()), add.boxes);
    for (const MessageBoxRequest& box : boxes_.boxes) {
        EXPECT_EQ(box.text, "用户名密码或域名未填写！");
        EXPECT_EQ(box.title, "请填写完整！");
        EXPECT_EQ(box.icon, MessageIcon::Error);
    }
    // The boxes keep their texts.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(windowText(control(boxNames[i])), add.typed[static_cast<std::size_t>(i)]);
    }
    EXPECT_FALSE(accountFileExists()) << "adding writes no file";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddButtonTest,
    testing::Values(AddCase{"NoIpShowsThePublicAddress",
                            {"用户甲", "密码", "家.example.net", ""},
                            "203.0.113.9",
                            {{"用户甲", "密码", "家.example.net", "", "203.0.113.9"},
                             {"用户甲", "密码", "家.example.net", "", "203.0.113.9"}},
                            0},
                    AddCase{
                        "NoIpAndNoPublicAddress",
                        {"u", "p", "d.example.net", ""},
                        "",
                        {{"u", "p", "d.example.net", "", ""}, {"u", "p", "d.example.net", "", ""}},
                        0},
                    AddCase{"TypedIpShowsInBothColumns",
                            {"u", "p", "d.example.net", "192.0.2.4"},
                            "203.0.113.9",
                            {{"u", "p", "d.example.net", "192.0.2.4", "192.0.2.4"},
                             {"u", "p", "d.example.net", "192.0.2.4", "192.0.2.4"}},
                            0},
                    AddCase{"SpacesCountAsFilled",
                            {" ", " ", " ", ""},
                            "",
                            {{" ", " ", " ", "", ""}, {" ", " ", " ", "", ""}},
                            0},
                    AddCase{"MissingPassword", {"u", "", "d.example.net", "1.2.3.4"}, "", {}, 2},
                    AddCase{"AllMissing", {"", "", "", ""}, "", {}, 2}),
    [](const testing::TestParamInfo<AddCase>& info) { return std::string(info.param.name); });

// ---- The window system ----------------------------------------------------------------------

// The whole start-up and loop in this process: the created event's box (the lookup fails) posts
// Esc to the window, which the loop then hands to the window's own handling.
TEST(Win32WindowSystemTest, StartProgramRunsTheLoopUntilEscClosesTheWindow) {
    TempDir dir;
    test::RefusedPort offline;
    writeFileBytes(dir.file(kAccountFileName), "用户甲|密码甲|a.example.org|10.0.0.1\r\n");
    Win32WindowSystem windows(dir.file(kAccountFileName), test::refusedEndpoints(offline));
    int boxesSeen = 0;
    const MessageBoxHandler previous = installMessageBoxHandler([&](const MessageBoxRequest&) {
        ++boxesSeen;
        PostMessageA(ownMainWindow(), WM_KEYDOWN, VK_ESCAPE, 1);
    });
    // The safety net of a loop that never ends: a quit request of its own.
    bool safetyFired = false;
    static bool* fired = nullptr;
    fired = &safetyFired;
    const UINT_PTR safety = SetTimer(nullptr, 0, 60000, [](HWND, UINT, UINT_PTR, DWORD) {
        *fired = true;
        PostQuitMessage(1);
    });
    const int exitCode = startProgram(windows);
    KillTimer(nullptr, safety);
    installMessageBoxHandler(previous);
    EXPECT_FALSE(safetyFired);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(boxesSeen, 1);
    EXPECT_FALSE(windows.mainWindowExists());
    EXPECT_EQ(readFileBytes(dir.file(kAccountFileName)),
              "用户甲|密码甲|a.example.org|10.0.0.1\r\n");
    runExitRoutines();
}

struct BoxCase {
    const char* name;
    MessageIcon icon;
    const char* title;       // as asked for
    const char* shownTitle;  // as shown
    LPCSTR systemIcon;
};

void PrintTo(const BoxCase& box, std::ostream* out) {
    *out << box.name;
}

class Win32MessageBoxTest : public testing::TestWithParam<BoxCase> {};

// The box as a user sees it, while the main window exists: found from another thread, which reads
// it and presses OK.
TEST_P(Win32MessageBoxTest, ShowsOneOkButtonAndTheIconWithoutOwnerAndDisablesTheWindow) {
    const BoxCase& expected = GetParam();
    TempDir dir;
    test::RefusedPort offline;
    MainWindow window(dir.file(kAccountFileName), test::refusedEndpoints(offline));
    ASSERT_TRUE(window.create());
    window.showAsForeground();
    installWin32MessageBoxes();
    struct Seen {
        bool found = false;
        std::string text;
        bool ok = false;
        bool otherButtons = true;
        HWND owner = reinterpret_cast<HWND>(1);
        bool mainEnabled = true;
        HICON icon = nullptr;
    };
    auto seen = std::make_shared<Seen>();
    const DWORD uiThread = GetCurrentThreadId();
    const HWND main = window.handle();
    std::thread reader([=] {
        const HWND box = test::waitForThreadWindow(uiThread, "#32770", expected.shownTitle);
        if (box == nullptr) {
            return;
        }
        seen->found = true;
        seen->owner = GetWindow(box, GW_OWNER);
        seen->mainEnabled = IsWindowEnabled(main);
        seen->ok = GetDlgItem(box, IDOK) != nullptr;
        seen->otherButtons = false;
        for (int id : {IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
            seen->otherButtons = seen->otherButtons || GetDlgItem(box, id) != nullptr;
        }
        for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            char name[16] = {};
            GetClassNameA(child, name, sizeof name);
            if (lstrcmpiA(name, "Static") != 0) {
                continue;
            }
            if ((styleOf(child) & SS_TYPEMASK) == SS_ICON) {
                seen->icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
            } else if (windowText(child) == "第一行\r\n第二行") {
                seen->text = windowText(child);
            }
        }
        test::pressOk(box);
    });
    showMessageBox("第一行\r\n第二行", expected.title, expected.icon);
    reader.join();
    installMessageBoxHandler({});
    ASSERT_TRUE(seen->found);
    EXPECT_EQ(seen->text, "第一行\r\n第二行");
    EXPECT_TRUE(seen->ok);
    EXPECT_FALSE(seen->otherButtons);
    EXPECT_EQ(seen->owner, nullptr);
    EXPECT_FALSE(seen->mainEnabled) << "task-modal: the thread's windows are disabled";
    EXPECT_TRUE(IsWindowEnabled(main)) << "and enabled again afterwards";
    EXPECT_EQ(seen->icon, LoadIconA(nullptr, expected.systemIcon));
}

INSTANTIATE_TEST_SUITE_P(
    Icons, Win32MessageBoxTest,
    testing::Values(BoxCase{"Error", MessageIcon::Error, "请填写完整！", "请填写完整！", IDI_ERROR},
                    BoxCase{"InformationWithDefaultTitle", MessageIcon::Information, "", "信息：",
                            IDI_INFORMATION}),
    [](const testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel
