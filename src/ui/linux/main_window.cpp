// Builds the main window from the layout table and binds its events to the event map.
#include "ui/linux/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include "accounts/account_file.h"
#include "platform/linux/gbk.h"
#include "ui/linux/window_icon.h"

namespace quorvel {

namespace {

// The frame that Windows draws around a fixed-size window with a caption: used for the client
// size until the window manager tells the real one.
constexpr int kAssumedFrameWidth = 2 * 3;
constexpr int kAssumedFrameHeight = 2 * 3 + 23;

QColor colour(std::uint32_t rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

void setColours(QWidget* widget, QPalette::ColorRole backgroundRole, std::uint32_t background,
                QPalette::ColorRole textRole, std::uint32_t text) {
    QPalette palette = widget->palette();
    palette.setColor(backgroundRole, colour(background));
    palette.setColor(textRole, colour(text));
    widget->setPalette(palette);
}

// The selection is not drawn while the widget does not have the keyboard focus.
void hideInactiveSelection(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::Text));
    widget->setPalette(palette);
}

}  // namespace

MainWindow::MainWindow(Text accountFile, DdnsEndpoints endpoints)
    : accountFile_(accountFile.empty() ? accountFilePath() : std::move(accountFile)),
      endpoints_(std::move(endpoints)),
      model_(new AccountTableModel(this)) {
    setObjectName(textToQString(kWindowName));
    setWindowTitle(textToQString(kWindowCaption));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(programIcon());
    setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    setAutoFillBackground(true);
    setColours(this, QPalette::Window, kWindowBackground, QPalette::WindowText, kLabelText);
    setFixedSize(kWindowOuterWidth - kAssumedFrameWidth, kWindowOuterHeight - kAssumedFrameHeight);
    createControls();
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    accounts_->detach();  // a worker that still holds the list now meets an empty one
}

void MainWindow::createControls() {
    for (const ControlDefinition& definition : kControls) {
        QWidget* parent = definition.inGroup ? controls_.at(ControlId::EntryGroup) : this;
        QWidget* widget = createControl(definition, parent);
        widget->setObjectName(textToQString(definition.name));
        widget->setGeometry(definition.rect.left, definition.rect.top, definition.rect.width,
                            definition.rect.height);
        controls_[definition.id] = widget;
    }
    accounts_ = std::make_shared<ListViewAccountList>(accountView_, model_);
}

QWidget* MainWindow::createControl(const ControlDefinition& definition, QWidget* parent) {
    const QString text = textToQString(definition.text);
    switch (definition.kind) {
        case ControlKind::ReportList:
            return createAccountView(parent);
        case ControlKind::GroupBox:
            return new QGroupBox(parent);
        case ControlKind::Label: {
            auto* label = new QLabel(text, parent);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            // The style may tint a group box's inside; a label shows the window's own colour.
            label->setAutoFillBackground(true);
            return label;
        }
        case ControlKind::EntryBox: {
            auto* box = new QLineEdit(parent);
            setColours(box, QPalette::Base, 0xFFFFFF, QPalette::Text, 0x000000);
            hideInactiveSelection(box);
            if (definition.id == ControlId::IpBox) {
                box->setMaxLength(kIpBoxMaxLength);
            }
            return box;
        }
        case ControlKind::PushButton: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(false);  // Enter presses no button
            button->setDefault(false);
            if (definition.id == ControlId::AddButton) {
                connect(button, &QPushButton::clicked, this, [this] { onAddClicked(*this); });
            } else {
                connect(button, &QPushButton::clicked, this, [this] { onUpdateClicked(*this); });
            }
            return button;
        }
    }
    return new QWidget(parent);
}

QTableView* MainWindow::createAccountView(QWidget* parent) {
    auto* view = new QTableView(parent);
    view->setModel(model_);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSortingEnabled(false);
    view->setShowGrid(true);
    view->setWordWrap(false);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    view->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->verticalHeader()->hide();
    // Fixed row heights keep a list of many thousand rows fast to fill and to paint.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    QHeaderView* header = view->horizontalHeader();
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < kAccountColumnCount; ++column) {
        header->resizeSection(column, kAccountColumns[static_cast<std::size_t>(column)].width);
    }
    setColours(view, QPalette::Base, kListBackground, QPalette::Text, kListText);
    hideInactiveSelection(view);
    // The application-wide filter already sees the viewport's mouse presses; a filter of its own
    // would see each press a second time and open the popup again once it has closed.
    accountView_ = view;
    return view;
}

Text MainWindow::entryText(EntryBox box) {
    return qStringToText(static_cast<QLineEdit*>(controls_.at(controlOf(box)))->text());
}

void MainWindow::runCreatedEvent() {
    onMainWindowCreated(*this);
}

// The frame's top-left corner; before the frame is known, the window's own.
void MainWindow::centreOnScreen() {
    const QRect screen = this->screen()->geometry();
    move(screen.left() + centredLeft(screen.width()), screen.top() + centredTop(screen.height()));
}

void MainWindow::showCentred() {
    centreOnScreen();
    show();
    // A platform that knows the frame as soon as the window is shown sends no later move.
    fitOuterSizeToFrame();
    raise();
    activateWindow();
    controls_.at(ControlId::UserNameBox)->setFocus();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (widget != nullptr && widget->window() == this && key->key() == Qt::Key_Escape &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            close();
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonPress && accountView_ != nullptr &&
               watched == accountView_->viewport()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            openPopupMenu(mouse->globalPosition().toPoint());
        }
        return false;  // the press reaches the list once the menu has closed
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::openPopupMenu(const QPoint& pointer) {
    QMenu menu(textToQString(kPopupMenuTitle), this);
    menu.setObjectName(textToQString(kPopupMenuName));
    QAction* deleteItem = menu.addAction(textToQString(kDeleteItemText));
    QAction* clearItem = menu.addAction(textToQString(kClearItemText));
    QAction* chosen = menu.exec(pointer + QPoint(kPopupOffset, kPopupOffset));
    if (chosen == deleteItem) {
        onDeleteChosen(*this);
    } else if (chosen == clearItem) {
        onClearChosen(*this);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The will-be-destroyed event: every control still exists, so the file receives every row.
    onMainWindowWillBeDestroyed(*this);
    accounts_->detach();
    event->accept();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    fitOuterSizeToFrame();
}

// Once the window manager has framed the window, the client area is sized so that the frame's
// outer size is the window's, and the frame is centred again.
void MainWindow::fitOuterSizeToFrame() {
    const QSize frame = frameGeometry().size() - geometry().size();
    if ((frame.width() <= 0 && frame.height() <= 0) || !isVisible()) {
        return;
    }
    const QSize client(kWindowOuterWidth - frame.width(), kWindowOuterHeight - frame.height());
    if (client == size()) {
        return;
    }
    setFixedSize(client);
    centreOnScreen();
}

}  // namespace quorvel
