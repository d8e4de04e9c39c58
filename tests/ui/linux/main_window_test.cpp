// The real main window on the offscreen platform: its controls, looks, keys and popup menu, and the
// account file that its created event loads and its closing saves.
#include "ui/linux/main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "accounts/account_file.h"
#include "accounts/account_row.h"
#include "support/refused_port.h"
#include "support/temp_dir.h"

namespace quorvel {
namespace {

using test::readFileBytes;
using test::TempDir;
using test::writeFileBytes;

// Generous: a limit only turns a hang into a failure, it never decides a passing verdict.
constexpr int kLimitMs = 30000;

QString qs(const char16_t* text) {
    return QString::fromUtf16(text);
}

QRgb rgbAt(const QImage& image, QPoint point) {
    return image.pixel(point) & 0xFFFFFF;
}

// Within a few steps of each channel: text is drawn antialiased, and the style may tint a frame.
bool near(QRgb actual, QRgb expected, int tolerance) {
    return std::abs(qRed(actual) - qRed(expected)) <= tolerance &&
           std::abs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           std::abs(qBlue(actual) - qBlue(expected)) <= tolerance;
}

bool containsColour(const QImage& image, const QRect& area, QRgb rgb, int tolerance) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (near(rgbAt(image, {x, y}), rgb, tolerance)) {
                return true;
            }
        }
    }
    return false;
}

class MainWindowFixture : public testing::Test {
  protected:
    void SetUp() override {
        window_ = new MainWindow(accountFile(), test::refusedEndpoints(offline_));
        guard_ = window_;
    }
    // The window deletes itself once closed; one still open is deleted here.
    void TearDown() override { delete guard_.data(); }

    Text accountFile() const { return dir_.file(kAccountFileName); }
    bool accountFileExists() const { return std::filesystem::exists(accountFile()); }

    template <typename Widget = QWidget>
    Widget* control(const char16_t* name) const {
        return window_->findChild<Widget*>(qs(name));
    }
    QTableView* listView() const { return control<QTableView>(u"超级列表框1"); }

    // Shown as the program shows it, and active so that keys reach it.
    void showActive() {
        window_->showCentred();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_));
    }

    void giveFocus(QWidget* widget) {
        ASSERT_NE(widget, nullptr);
        widget->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return QApplication::focusWidget() == widget; }, kLimitMs));
    }

    bool waitUntilWindowGone() {
        return QTest::qWaitFor([&] { return guard_.isNull(); }, kLimitMs);
    }

    void addRows(const std::vector<std::array<Text, kAccountColumnCount>>& rows) {
        AccountList& list = *window_->accountList();
        for (const auto& cells : rows) {
            list.insertRow(cells[0]);
            for (int column = 1; column < kAccountColumnCount; ++column) {
                list.setCell(list.rowCount() - 1, column, cells[static_cast<std::size_t>(column)]);
            }
        }
    }

    TempDir dir_;
    test::RefusedPort offline_;  // the created event's address lookup reaches no network
    MainWindow* window_ = nullptr;
    QPointer<MainWindow> guard_;
};

// ---- Controls -------------------------------------------------------------------------------

enum class Kind { ReportList, GroupBox, Label, EntryBox, PushButton };

struct ExpectedControl {
    const char* role;  // for the test's name
    const char16_t* name;
    Kind kind;
    bool inGroup;
    QRect geometry;
    const char16_t* text;
};

void PrintTo(const ExpectedControl& control, std::ostream* out) {
    *out << control.role;
}

const ExpectedControl kExpectedControls[] = {
    {"AccountList", u"超级列表框1", Kind::ReportList, false, {6, 7, 500, 355}, u""},
    {"EntryGroup", u"分组框1", Kind::GroupBox, false, {512, 1, 120, 223}, u""},
    {"UserNameLabel", u"标签1", Kind::Label, true, {12, 14, 40, 20}, u"用户名"},
    {"UserNameBox", u"编辑框_用户名", Kind::EntryBox, true, {12, 36, 95, 20}, u""},
    {"PasswordLabel", u"标签2", Kind::Label, true, {12, 58, 40, 20}, u"密码"},
    {"PasswordBox", u"编辑框_密码", Kind::EntryBox, true, {12, 80, 95, 20}, u""},
    {"DomainLabel", u"标签3", Kind::Label, true, {12, 102, 40, 20}, u"域名"},
    {"DomainBox", u"编辑框_域名", Kind::EntryBox, true, {12, 124, 95, 20}, u""},
    {"IpLabel", u"标签4", Kind::Label, true, {12, 146, 100, 20}, u"IP(不填为本机IP)"},
    {"IpBox", u"编辑框_IP", Kind::EntryBox, true, {12, 168, 95, 20}, u""},
    {"AddButton", u"按钮1", Kind::PushButton, true, {20, 194, 80, 20}, u"添加"},
    {"UpdateButton", u"按钮2", Kind::PushButton, false, {532, 231, 80, 20}, u"一键更新"},
};

class MainWindowControlTest : public MainWindowFixture,
                              public testing::WithParamInterface<ExpectedControl> {};

TEST_P(MainWindowControlTest, HasItsNameParentGeometryKindAndText) {
    const ExpectedControl& expected = GetParam();
    QWidget* widget = control(expected.name);
    ASSERT_NE(widget, nullptr);
    QWidget* parent = expected.inGroup ? control(u"分组框1") : static_cast<QWidget*>(window_);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(widget->parentWidget(), parent);
    EXPECT_EQ(widget->geometry(), expected.geometry);
    const QString text = qs(expected.text);
    switch (expected.kind) {
        case Kind::ReportList:
            EXPECT_NE(qobject_cast<QTableView*>(widget), nullptr);
            break;
        case Kind::GroupBox: {
            auto* group = qobject_cast<QGroupBox*>(widget);
            ASSERT_NE(group, nullptr);
            EXPECT_EQ(group->title(), text);
            break;
        }
        case Kind::Label: {
            auto* label = qobject_cast<QLabel*>(widget);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), text);
            EXPECT_EQ(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
            EXPECT_EQ(label->frameShape(), QFrame::NoFrame);
            break;
        }
        case Kind::EntryBox: {
            auto* box = qobject_cast<QLineEdit*>(widget);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), text);
            // Every box shows what is typed, the password too.
            EXPECT_EQ(box->echoMode(), QLineEdit::Normal);
            EXPECT_FALSE(box->isReadOnly());
            break;
        }
        case Kind::PushButton: {
            auto* button = qobject_cast<QPushButton*>(widget);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), text);
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryControl, MainWindowControlTest, testing::ValuesIn(kExpectedControls),
                         [](const testing::TestParamInfo<ExpectedControl>& info) {
                             return std::string(info.param.role);
                         });

// ---- The window -----------------------------------------------------------------------------

using MainWindowTest = MainWindowFixture;

TEST_F(MainWindowTest, CaptionNamesTheProgramWithACredit) {
    const QString caption = window_->windowTitle();
    EXPECT_TRUE(caption.startsWith(u"Quorvel V1.0 ")) << caption.toStdString();
    EXPECT_GT(caption.size(), qs(u"Quorvel V1.0 ").size()) << "no credit after the version";
}

TEST_F(MainWindowTest, IsAFixedSizeWindowWithoutMaximiseButton) {
    const Qt::WindowFlags flags = window_->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::Window));
    EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    // Until the frame is known, the client area leaves room for a frame like Windows draws.
    EXPECT_EQ(window_->size(), QSize(637, 389));
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
    ASSERT_NO_FATAL_FAILURE(showActive());
    // Once shown, frame and client make up the outer size; with no frame drawn, the client
    // keeps its first size.
    const QSize frame = window_->frameGeometry().size() - window_->size();
    EXPECT_EQ(window_->frameGeometry().size(), frame.isNull() ? QSize(637, 389) : QSize(643, 418))
        << "frame " << frame.width() << "x" << frame.height();
    EXPECT_EQ(window_->minimumSize(), window_->size());
    EXPECT_EQ(window_->maximumSize(), window_->size());
}

TEST_F(MainWindowTest, StartsCentredOnTheScreen) {
    ASSERT_NO_FATAL_FAILURE(showActive());
    const QRect screen = window_->screen()->geometry();
    const QPoint expected(screen.left() + (screen.width() - 643) / 2,
                          screen.top() + (screen.height() - 418) / 2);
    EXPECT_EQ(window_->frameGeometry().topLeft(), expected);
}

TEST_F(MainWindowTest, IconHasTheSmallAndTheLargeSize) {
    const QList<QSize> sizes = window_->windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
}

TEST_F(MainWindowTest, ColoursOfWindowLabelsListAndEntryBoxes) {
    constexpr QRgb kBlue = 0x0088FF;
    constexpr QRgb kYellow = 0xFFFF00;
    constexpr QRgb kListBlue = 0x0000FF;
    EXPECT_EQ(window_->palette().color(QPalette::Window).rgb() & 0xFFFFFF, kBlue);
    for (const char16_t* name : {u"标签1", u"标签2", u"标签3", u"标签4"}) {
        QLabel* label = control<QLabel>(name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->palette().color(QPalette::WindowText).rgb() & 0xFFFFFF, kYellow);
        EXPECT_EQ(label->palette().color(QPalette::Window).rgb() & 0xFFFFFF, kBlue)
            << "a label's background is the window's colour";
    }
    QTableView* list = listView();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->palette().color(QPalette::Text).rgb() & 0xFFFFFF, kYellow);
    EXPECT_EQ(list->palette().color(QPalette::Base).rgb() & 0xFFFFFF, kListBlue);
    for (const char16_t* name : {u"编辑框_用户名", u"编辑框_密码", u"编辑框_域名", u"编辑框_IP"}) {
        QLineEdit* box = control<QLineEdit>(name);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->palette().color(QPalette::Text).rgb() & 0xFFFFFF, 0x000000u);
        EXPECT_EQ(box->palette().color(QPalette::Base).rgb() & 0xFFFFFF, 0xFFFFFFu);
    }

    // And what is drawn. Glyph edges blend with the background, so text is looked for as a pixel
    // close to its colour; a background is the colour itself.
    constexpr int kGlyph = 24;
    addRows({{"IIIIHHHH", "", "", "", ""}});
    control<QLineEdit>(u"编辑框_域名")->setText(qs(u"IIIIHHHH"));
    ASSERT_NO_FATAL_FAILURE(showActive());
    const QImage image = window_->grab().toImage();
    EXPECT_EQ(rgbAt(image, {2, 380}), kBlue) << "window background";
    const QRect groupArea(control(u"分组框1")->geometry());
    EXPECT_EQ(rgbAt(image, groupArea.bottomLeft() + QPoint(60, 3)), kBlue) << "beside the group";
    QLabel* ipLabel = control<QLabel>(u"标签4");
    const QRect ipLabelArea(ipLabel->mapTo(window_, QPoint(0, 0)), ipLabel->size());
    EXPECT_TRUE(containsColour(image, ipLabelArea, kYellow, kGlyph)) << "label text";
    EXPECT_EQ(rgbAt(image, ipLabelArea.topLeft()), kBlue)
        << "label background " << std::hex << rgbAt(image, ipLabelArea.topLeft());
    const QPoint viewportOrigin = list->viewport()->mapTo(window_, QPoint(0, 0));
    EXPECT_EQ(rgbAt(image, viewportOrigin + QPoint(250, 300)), kListBlue) << "list background";
    const QRect cell =
        list->visualRect(list->model()->index(0, UserName)).translated(viewportOrigin);
    EXPECT_TRUE(containsColour(image, cell, kYellow, kGlyph)) << "list text";
    QLineEdit* emptyBox = control<QLineEdit>(u"编辑框_IP");
    const QRect emptyBoxArea(emptyBox->mapTo(window_, QPoint(0, 0)), emptyBox->size());
    EXPECT_EQ(rgbAt(image, emptyBoxArea.center()), 0xFFFFFFu) << "entry box background";
    QLineEdit* filledBox = control<QLineEdit>(u"编辑框_域名");
    const QRect filledBoxArea(filledBox->mapTo(window_, QPoint(0, 0)), filledBox->size());
    EXPECT_TRUE(containsColour(image, filledBoxArea, 0x000000, kGlyph)) << "entry box text";
}

TEST_F(MainWindowTest, ListHasFiveFixedColumnsAndSelectsSingleWholeRows) {
    QTableView* list = listView();
    ASSERT_NE(list, nullptr);
    const QAbstractItemModel* model = list->model();
    ASSERT_EQ(model->columnCount(), 5);
    const QString titles[] = {qs(u"用户名"), qs(u"密码"), qs(u"域名"), qs(u"IP"), qs(u"更新状态")};
    const int widths[] = {100, 100, 100, 90, 90};
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(model->headerData(column, Qt::Horizontal).toString(), titles[column]);
        EXPECT_EQ(list->horizontalHeader()->sectionSize(column), widths[column]);
    }
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(list->showGrid());
    EXPECT_FALSE(list->isSortingEnabled());
    EXPECT_FALSE(list->horizontalHeader()->sectionsMovable());
    EXPECT_EQ(model->rowCount(), 0) << "the list starts empty";
    ASSERT_NO_FATAL_FAILURE(showActive());
    EXPECT_TRUE(list->horizontalHeader()->isVisible());

    // A click on a column title does not reorder the rows.
    addRows({{"b", "", "", "", ""}, {"a", "", "", "", ""}, {"c", "", "", "", ""}});
    QHeaderView* header = list->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(header->sectionPosition(0) + 10, header->height() / 2));
    AccountList& accounts = *window_->accountList();
    EXPECT_EQ(accounts.getCell(0, UserName), "b");
    EXPECT_EQ(accounts.getCell(1, UserName), "a");
    EXPECT_EQ(accounts.getCell(2, UserName), "c");
}

TEST_F(MainWindowTest, CreatedEventLoadsTheAccountFileGivenToTheWindow) {
    writeFileBytes(accountFile(),
                   "用户甲|密码甲|a.example.org|10.0.0.1\r\n"
                   "user2|p|乙.example.org\r\n");
    window_->runCreatedEvent();
    AccountList& list = *window_->accountList();
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.getCell(0, UserName), "用户甲");
    EXPECT_EQ(list.getCell(0, Password), "密码甲");
    EXPECT_EQ(list.getCell(0, Domain), "a.example.org");
    EXPECT_EQ(list.getCell(0, Ip), "10.0.0.1");
    EXPECT_EQ(list.getCell(0, Status), "");
    EXPECT_EQ(list.getCell(1, UserName), "user2");
    EXPECT_EQ(list.getCell(1, Domain), "乙.example.org");
    EXPECT_EQ(list.getCell(1, Ip), "");
    // The view shows what was loaded.
    EXPECT_EQ(listView()->model()->data(listView()->model()->index(0, UserName)).toString(),
              qs(u"用户甲"));
}

// ---- Keys -----------------------------------------------------------------------------------

// Rows whose bytes the save must keep exactly: two-byte characters, bytes that are not GBK, an
// empty IP; the status column is never saved.
const std::vector<std::array<Text, kAccountColumnCount>> kRowsToSave{
    {"用户甲", "密码甲", "a.example.org", "10.0.0.1", "更新成功!"},
    {"\xFF\x80"
     "abc",
     "p", "b.example.org", "", "x"},
};
const Text kSavedRows =
    "用户甲|密码甲|a.example.org|10.0.0.1\r\n"
    "\xFF\x80"
    "abc|p|b.example.org|\r\n";

class EscClosesTest : public MainWindowFixture,
                      public testing::WithParamInterface<const char16_t*> {};

TEST_P(EscClosesTest, EscClosesTheWindowAndSavesTheRows) {
    addRows(kRowsToSave);
    ASSERT_NO_FATAL_FAILURE(showActive());
    QWidget* focus = control(GetParam());
    ASSERT_NO_FATAL_FAILURE(giveFocus(focus));
    QTest::keyClick(focus, Qt::Key_Escape);
    ASSERT_TRUE(waitUntilWindowGone());
    EXPECT_EQ(readFileBytes(accountFile()), kSavedRows);
}

INSTANTIATE_TEST_SUITE_P(FocusAnywhere, EscClosesTest,
                         testing::Values(u"超级列表框1", u"编辑框_用户名", u"编辑框_密码",
                                         u"编辑框_域名", u"编辑框_IP", u"按钮1", u"按钮2"),
                         [](const testing::TestParamInfo<const char16_t*>& info) {
                             return "FocusOnControl" + std::to_string(info.index);
                         });

class EscWithModifierTest : public MainWindowFixture,
                            public testing::WithParamInterface<Qt::KeyboardModifiers> {};

TEST_P(EscWithModifierTest, DoesNotClose) {
    addRows(kRowsToSave);
    ASSERT_NO_FATAL_FAILURE(showActive());
    QLineEdit* box = control<QLineEdit>(u"编辑框_用户名");
    ASSERT_NO_FATAL_FAILURE(giveFocus(box));
    // Closing happens inside the key's handling, so right after it the window would be closed.
    QTest::keyClick(box, Qt::Key_Escape, GetParam());
    ASSERT_FALSE(guard_.isNull());
    EXPECT_TRUE(window_->isVisible());
    EXPECT_FALSE(accountFileExists());
    // Plain Esc at the same place still closes it.
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(waitUntilWindowGone());
    EXPECT_TRUE(accountFileExists());
}

INSTANTIATE_TEST_SUITE_P(Modifiers, EscWithModifierTest,
                         testing::Values(Qt::KeyboardModifiers(Qt::ShiftModifier),
                                         Qt::KeyboardModifiers(Qt::ControlModifier),
                                         Qt::KeyboardModifiers(Qt::AltModifier)),
                         [](const testing::TestParamInfo<Qt::KeyboardModifiers>& info) {
                             return info.param == Qt::ShiftModifier     ? std::string("Shift")
                                    : info.param == Qt::ControlModifier ? std::string("Ctrl")
                                                                        : std::string("Alt");
                         });

TEST_F(MainWindowTest, EnterPressesNoButton) {
    ASSERT_NO_FATAL_FAILURE(showActive());
    int clicks = 0;
    for (const char16_t* name : {u"按钮1", u"按钮2"}) {
        QPushButton* button = control<QPushButton>(name);
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(button->isDefault());
        EXPECT_FALSE(button->autoDefault());
        QObject::connect(button, &QPushButton::clicked, window_, [&clicks] { ++clicks; });
    }
    for (const char16_t* name :
         {u"编辑框_用户名", u"编辑框_密码", u"编辑框_域名", u"编辑框_IP", u"按钮1", u"按钮2"}) {
        QWidget* widget = control(name);
        ASSERT_NO_FATAL_FAILURE(giveFocus(widget));
        QTest::keyClick(widget, Qt::Key_Return);
        QTest::keyClick(widget, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(QApplication::focusWidget(), widget) << "Enter moved the focus";
    }
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(guard_.isNull());
}

TEST_F(MainWindowTest, TabAndShiftTabMoveBetweenTheEntryBoxes) {
    ASSERT_NO_FATAL_FAILURE(showActive());
    const char16_t* const order[] = {u"编辑框_用户名", u"编辑框_密码", u"编辑框_域名",
                                     u"编辑框_IP"};
    ASSERT_NO_FATAL_FAILURE(giveFocus(control(order[0])));
    for (int i = 1; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), control(order[i])) << "Tab " << i;
    }
    for (int i = 2; i >= 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), control(order[i])) << "Shift+Tab to " << i;
    }
}

// ---- Entry boxes ----------------------------------------------------------------------------

TEST_F(MainWindowTest, IpBoxTakesAtMostFifteenCharactersTypedOrPasted) {
    ASSERT_NO_FATAL_FAILURE(showActive());
    QLineEdit* box = control<QLineEdit>(u"编辑框_IP");
    ASSERT_NO_FATAL_FAILURE(giveFocus(box));
    QTest::keyClicks(box, "123.123.123.1234");
    EXPECT_EQ(box->text(), qs(u"123.123.123.123"));

    box->clear();
    QApplication::clipboard()->setText(qs(u"255.255.255.2551"));
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box->text(), qs(u"255.255.255.255"));
}

TEST_F(MainWindowTest, OtherEntryBoxesTakeLongTexts) {
    ASSERT_NO_FATAL_FAILURE(showActive());
    const QString typed = qs(u"user.name-").repeated(30);
    const QString pasted = qs(u"域名-example-").repeated(40);
    for (const char16_t* name : {u"编辑框_用户名", u"编辑框_密码", u"编辑框_域名"}) {
        QLineEdit* box = control<QLineEdit>(name);
        ASSERT_NO_FATAL_FAILURE(giveFocus(box));
        QTest::keyClicks(box, typed);
        EXPECT_EQ(box->text(), typed);
        box->clear();
        QApplication::clipboard()->setText(pasted);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(box->text(), pasted);
    }
}

// ---- Popup menu -----------------------------------------------------------------------------

struct PopupSeen {
    int openings = 0;
    QString objectName;
    QStringList items;
    int separators = 0;
    QPoint topLeft;
};

// A right-button press on the list; `act` then works each popup that the press opens (menus block
// in exec(), so a timer started before the press finds them). What is seen is the first popup's.
PopupSeen rightPressOnList(QTableView* list, QPoint at, const std::function<void(QMenu&)>& act) {
    PopupSeen seen;
    QTimer poll;
    poll.setInterval(1);
    const int levelOutside = QThread::currentThread()->loopLevel();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        // Only inside the menu's own loop: a menu closed while it is still being shown would
        // never leave its loop.
        if (menu == nullptr || !menu->isVisible() ||
            QThread::currentThread()->loopLevel() <= levelOutside) {
            return;
        }
        if (++seen.openings == 1) {
            seen.objectName = menu->objectName();
            seen.topLeft = menu->geometry().topLeft();
            for (QAction* action : menu->actions()) {
                if (action->isSeparator()) {
                    ++seen.separators;
                } else {
                    seen.items << action->text();
                }
            }
        }
        act(*menu);
    });
    poll.start();
    QTest::mousePress(list->viewport(), Qt::RightButton, Qt::NoModifier, at);
    poll.stop();
    QTest::mouseRelease(list->viewport(), Qt::RightButton, Qt::NoModifier, at);
    return seen;
}

std::function<void(QMenu&)> choose(const char16_t* item) {
    return [item](QMenu& menu) {
        for (QAction* action : menu.actions()) {
            if (action->text() == QString::fromUtf16(item)) {
                QTest::mouseClick(&menu, Qt::LeftButton, Qt::NoModifier,
                                  menu.actionGeometry(action).center());
                return;
            }
        }
        menu.close();  // not there: the missing item shows in what was seen
    };
}

void closeWithoutChoice(QMenu& menu) {
    QTest::keyClick(&menu, Qt::Key_Escape);
}

QPoint rowCentre(QTableView* list, int row) {
    return list->visualRect(list->model()->index(row, UserName)).center();
}

TEST_F(MainWindowTest, RightPressOnEmptyListOpensThePopupBelowRightOfThePointer) {
    ASSERT_NO_FATAL_FAILURE(showActive());
    QTableView* list = listView();
    const QPoint at(40, 60);
    const PopupSeen seen = rightPressOnList(list, at, closeWithoutChoice);
    EXPECT_EQ(seen.openings, 1);
    EXPECT_EQ(seen.objectName, qs(u"listPopupMenu"));
    EXPECT_EQ(seen.items, QStringList({qs(u"删除"), qs(u"清空")}));
    EXPECT_EQ(seen.separators, 0);
    EXPECT_EQ(seen.topLeft, list->viewport()->mapToGlobal(at) + QPoint(3, 3));
    // Esc inside the popup closes only the popup.
    EXPECT_FALSE(guard_.isNull());
    EXPECT_TRUE(window_->isVisible());
}

TEST_F(MainWindowTest, PopupClosedWithoutChoiceChangesNothing) {
    addRows(kRowsToSave);
    ASSERT_NO_FATAL_FAILURE(showActive());
    QTableView* list = listView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(list, 0));
    ASSERT_EQ(window_->accountList()->selectedRow(), 0);
    const QPoint at = rowCentre(list, 0);
    const PopupSeen seen = rightPressOnList(list, at, closeWithoutChoice);
    EXPECT_EQ(seen.openings, 1);
    EXPECT_EQ(seen.topLeft, list->viewport()->mapToGlobal(at) + QPoint(3, 3));
    EXPECT_EQ(window_->accountList()->rowCount(), 2);
}

TEST_F(MainWindowTest, PopupDeleteRemovesTheSelectedRow) {
    addRows({{"甲", "1", "a", "", ""}, {"乙", "2", "b", "", ""}, {"丙", "3", "c", "", ""}});
    ASSERT_NO_FATAL_FAILURE(showActive());
    QTableView* list = listView();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rowCentre(list, 1));
    ASSERT_EQ(window_->accountList()->selectedRow(), 1);
    ASSERT_EQ(rightPressOnList(list, rowCentre(list, 1), choose(u"删除")).openings, 1);
    AccountList& accounts = *window_->accountList();
    ASSERT_EQ(accounts.rowCount(), 2);
    EXPECT_EQ(accounts.getCell(0, UserName), "甲");
    EXPECT_EQ(accounts.getCell(1, UserName), "丙");
    EXPECT_EQ(accounts.getCell(1, Domain), "c");
}

TEST_F(MainWindowTest, PopupDeleteWithoutSelectionRemovesNothing) {
    addRows({{"甲", "1", "a", "", ""}, {"乙", "2", "b", "", ""}});
    ASSERT_NO_FATAL_FAILURE(showActive());
    QTableView* list = listView();
    ASSERT_EQ(window_->accountList()->selectedRow(), -1);
    // Below the rows: the press hits no row.
    ASSERT_EQ(rightPressOnList(list, QPoint(40, 300), choose(u"删除")).openings, 1);
    EXPECT_EQ(window_->accountList()->rowCount(), 2);
}

TEST_F(MainWindowTest, PopupClearEmptiesTheListAndDeletesTheAccountFile) {
    writeFileBytes(accountFile(), "用户甲|密码甲|a.example.org|\r\nu|p|b.example.org|\r\n");
    window_->runCreatedEvent();
    ASSERT_EQ(window_->accountList()->rowCount(), 2);
    ASSERT_NO_FATAL_FAILURE(showActive());
    ASSERT_EQ(rightPressOnList(listView(), QPoint(40, 300), choose(u"清空")).openings, 1);
    EXPECT_EQ(window_->accountList()->rowCount(), 0);
    EXPECT_EQ(window_->accountList()->selectedRow(), -1);
    EXPECT_FALSE(accountFileExists());
}

}  // namespace
}  // namespace quorvel
