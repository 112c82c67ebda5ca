#pragma once
// "Kovra Console | Main": the console's one main window. Four pages list the
// accounts, receivers, users and the audit log; every other window is opened
// from here. The mode (TApplicationMode) decides what is offered.
#include "MainWindowHooks.h"
#include "MainWindowOps.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <memory>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSqlQueryModel;
class QTabWidget;
class QTimer;
class QToolBox;

namespace kovra {

class AutoLogout;
class TApplicationMode;
class TMXDBGrid;
class TMXHexEdit;
class TdmdMain;
struct ModeRule;

class TfrmMain : public QMainWindow, public MainWindowHooks {
    Q_OBJECT
public:
    explicit TfrmMain(TdmdMain &dm, QWidget *parent = nullptr);
    ~TfrmMain() override;

    TApplicationMode &applicationMode() { return *m_mode; }
    TdmdMain &dm() { return m_dm; }
    AutoLogout *autoLogout() const { return m_autoLogout; }

    // ---- MainWindowHooks -------------------------------------------------
    int mode() const override;
    void setMode(int mode) override;
    void applyLoginMode() override;
    void logOut(bool logEvent) override;
    bool closeWindowsForAutoLogout() override;
    void setCurrentDatabaseLabel(const QString &path) override;
    void setDebugButtonVisible(bool visible) override;
    void refreshAll() override;

    // ---- commands (every source ends here) -------------------------------
    void loginOrLogout(bool fromOutlook = false);
    void addEntry();
    void editEntry();
    void deleteEntry();
    void showPage(const QString &pageName);   // View entries and outlook groups
    QString currentPageName() const;
    void kovraTemplate();
    void programming();
    void updateReceivers();
    void receiverTable();
    void exportAccount();
    void importAccount();
    void configure();
    void about();
    void help();
    void changePassword();
    void debugWindow();
    void openDatabase();
    void createDatabase();
    void compactDatabase();
    void backupDatabase();
    void restoreDatabase();
    void exportLogs();
    // Outlook item by its caption (as the bar shows it).
    void outlookItem(const QString &caption);

    // ---- what tests and the mode read ----------------------------------
    QToolBox *outlookBar() const { return m_outlook; }
    QStringList outlookGroups() const;
    QStringList outlookItems(int group) const;   // 1-based
    int openOutlookGroup() const;                // 1-based, 0 when none
    QStringList shownPages() const;
    QAction *action(const QString &objectName) const;
    QMenu *menu(const QString &objectName) const;
    // Window placement in KOVRACONSOLE.INI.
    void restorePlacement();
    bool savePlacement();
    QString placementSection() const { return QStringLiteral("TfrmMain"); }

Q_SIGNALS:
    // The window closed after the quit rule let it go: the console ends.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class TApplicationMode;
    void buildTopPanel();
    void buildMenus();
    void buildPages();
    QWidget *buildAccountsPage();
    QWidget *buildReceiversPage();
    QWidget *buildUsersPage();
    QWidget *buildLogsPage();
    void buildStatusBar();
    void applyModeRule(const ModeRule &rule);
    void rebuildOutlook(const ModeRule &rule);
    void openOutlookGroupIndex(int group);
    void pageChanged();
    bool pageShown(const QString &pageName) const;
    void setPageVisible(const QString &pageName, bool visible);

    void reloadAccounts(int keepId = -1);
    void reloadReceivers(int keepId = -1);
    void reloadUsers(int keepId = -1);
    void reloadLog(int keepId = -1);
    void updateAccountSide();
    void updateReceiverSide();
    void updateLogSide();
    void writeCounters();
    int currentId(TMXDBGrid *grid, const char *field) const;
    void accountTitleClicked(const QString &field);
    void searchAccount(const QString &text);
    void searchReceiver(const QString &text);
    void searchUser(const QString &text, const char *field);
    void notAvailable();
    bool userListFiltered() const;

    TdmdMain &m_dm;
    std::unique_ptr<TApplicationMode> m_mode;
    AutoLogout *m_autoLogout = nullptr;
    AccountSort m_sort;
    QString m_userFilter;
    QString m_lastImportFolder;
    bool m_quitting = false;
    bool m_placementRestored = false;
    bool m_rebuildingOutlook = false;

    // top panel
    QPushButton *m_btnLogin = nullptr;
    QPushButton *m_btnConfig = nullptr;
    QPushButton *m_btnRefresh = nullptr;
    QPushButton *m_btnDebug = nullptr;
    QPushButton *m_btnAbout = nullptr;
    QPushButton *m_btnExit = nullptr;
    QLabel *m_lblCurrentDatabase = nullptr;
    QToolBox *m_outlook = nullptr;
    QTimer *m_tmrRefresh = nullptr;
    QTabWidget *m_pgcMain = nullptr;
    QList<QWidget *> m_pages;   // design order
    QStringList m_pageCaptions;

    // accounts
    TMXDBGrid *m_dbgKovra = nullptr;
    QSqlQueryModel *m_kovraModel = nullptr;
    QStringList m_accountNumbers;
    QLineEdit *m_edtReceiver[3] = {nullptr, nullptr, nullptr};
    QLabel *m_lblKovraCurrentEntry = nullptr;
    QPushButton *m_btnKovraAdd = nullptr;
    QPushButton *m_btnKovraEdit = nullptr;
    QPushButton *m_btnKovraDelete = nullptr;
    TMXHexEdit *m_edtAccountNumber = nullptr;
    QMenu *m_popKovra = nullptr;

    // receivers
    TMXDBGrid *m_dbgReceiver = nullptr;
    QSqlQueryModel *m_receiverModel = nullptr;
    QStringList m_receiverAddresses;
    QPlainTextEdit *m_DBMemo1 = nullptr;
    int m_memo1ReceiverId = -1;
    QLineEdit *m_edtReceiverPassword = nullptr;
    QLabel *m_lblReceiverCurrentEntry = nullptr;
    QPushButton *m_btnKovraTable = nullptr;
    QLineEdit *m_edtReceiverIPAddress = nullptr;
    QMenu *m_popReceiver = nullptr;

    // users
    TMXDBGrid *m_dbgUser = nullptr;
    QSqlQueryModel *m_userModel = nullptr;
    QLineEdit *m_edtLoginName = nullptr;
    QLineEdit *m_edtLastName = nullptr;
    QMenu *m_popUser = nullptr;

    // log
    TMXDBGrid *m_dbgLog = nullptr;
    QSqlQueryModel *m_logModel = nullptr;
    QPlainTextEdit *m_DBMemo2 = nullptr;
    QLabel *m_lblLogCurrentEntry = nullptr;
    QPushButton *m_btnLogDelete = nullptr;
    QPushButton *m_btnLogDeleteAll = nullptr;
    QPushButton *m_btnSaveToExcel = nullptr;
    QMenu *m_popLog = nullptr;

    // status bar
    QLabel *m_stpMode = nullptr;
    QLabel *m_stpLoggedUser = nullptr;
    QLabel *m_stpIPAddress = nullptr;

    QPointer<QWidget> m_debugWindow;
};

} // namespace kovra
