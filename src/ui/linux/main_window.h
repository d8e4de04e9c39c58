// The main window on Qt: the account list, the entry group, the two buttons and the list's popup.
#pragma once

#include <QLineEdit>
#include <QTableView>
#include <QWidget>

#include <map>
#include <memory>

#include "platform/linux/account_table_model.h"
#include "platform/linux/list_view_account_list.h"
#include "ui/event_map.h"
#include "ui/window_layout.h"

namespace quorvel {

class MainWindow final : public QWidget, public MainWindowControls {
    Q_OBJECT
  public:
    // Creates the window and its controls, invisible. The account file defaults to peizhi.ini
    // beside the executable, the endpoints to the provider's.
    explicit MainWindow(Text accountFile = {}, DdnsEndpoints endpoints = {});
    ~MainWindow() override;

    // The created event: all controls exist and the window is not yet shown.
    void runCreatedEvent();
    // Shows the window centred, as the foreground window.
    void showCentred();

    std::shared_ptr<AccountList> accountList() override { return accounts_; }
    Text entryText(EntryBox box) override;
    Text accountFile() override { return accountFile_; }
    const DdnsEndpoints& endpoints() override { return endpoints_; }

    QWidget* control(ControlId id) const { return controls_.at(id); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void createControls();
    QWidget* createControl(const ControlDefinition& definition, QWidget* parent);
    QTableView* createAccountView(QWidget* parent);
    void openPopupMenu(const QPoint& pointer);
    void centreOnScreen();
    void fitOuterSizeToFrame();

    Text accountFile_;
    DdnsEndpoints endpoints_;
    AccountTableModel* model_;
    std::shared_ptr<ListViewAccountList> accounts_;
    std::map<ControlId, QWidget*> controls_;
    QTableView* accountView_ = nullptr;
};

}  // namespace quorvel
