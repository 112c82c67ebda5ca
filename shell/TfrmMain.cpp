#include "TfrmMain.h"

#include "DatabaseMaintenance.h"
#include "IniFile.h"
#include "KovraHome.h"
#include "LoginState.h"
#include "MainModeTable.h"
#include "MessageDialogs.h"
#include "Schema.h"
#include "TApplicationMode.h"
#include "TBaseForm.h"
#include "TMXDBGrid.h"
#include "TMXHexEdit.h"
#include "TMXMessageDialog.h"
#include "TdmdMain.h"
#include "TfrmProgress.h"
#include "TfrmSelectProgramming.h"

#if __has_include("AutoLogout.h")
#include "AutoLogout.h"
#define KOVRA_HAVE_AUTOLOGOUT 1
#endif
#if __has_include("TfrmLogin.h")
#include "TfrmLogin.h"
#include "LoginFlow.h"
#define KOVRA_HAVE_LOGIN 1
#endif
#if __has_include("TfrmChangePassword.h")
#include "TfrmChangePassword.h"
#define KOVRA_HAVE_CHANGEPASSWORD 1
#endif
#if __has_include("TfrmUserManagement.h")
#include "TfrmUserManagement.h"
#include "UserEditor.h"
#define KOVRA_HAVE_USERS 1
#endif
#if __has_include("TfrmAbout.h")
#include "TfrmAbout.h"
#define KOVRA_HAVE_ABOUT 1
#endif
#if __has_include("Help.h")
#include "Help.h"
#define KOVRA_HAVE_HELP 1
#endif
#if __has_include("MaintenanceCommands.h")
#include "MaintenanceCommands.h"
#define KOVRA_HAVE_MAINTENANCE 1
#endif
#if __has_include("TfrmDebug.h")
#include "TfrmDebug.h"
#define KOVRA_HAVE_DEBUG 1
#endif

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHostAddress>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkInterface>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSqlError>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBox>
#include <QVBoxLayout>

namespace kovra {

namespace {

QPushButton *makeButton(const QString &name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLabel *makeLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setWordWrap(true);   // side panels are narrow
    return l;
}

QAction *addItem(QMenu *menu, const QString &name, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(name);
    return a;
}

QStringList columnValues(QSqlQueryModel *model, const QString &field)
{
    QStringList out;
    const int c = model->record().indexOf(field);
    if (c < 0)
        return out;
    const int n = model->rowCount();
    out.reserve(n);
    for (int r = 0; r < n; ++r)
        out << model->record(r).value(c).toString();
    return out;
}

void loadModel(QSqlQueryModel *model, TMXDBGrid *grid, const QString &sql, QSqlDatabase db)
{
    if (!db.isOpen()) {
        model->clear();
        return;
    }
    model->setQuery(sql, db);
    grid->fetchAll();
}

int rowOfId(QSqlQueryModel *model, const char *field, int id)
{
    if (id < 0)
        return -1;
    const int c = model->record().indexOf(QLatin1String(field));
    if (c < 0)
        return -1;
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->index(r, c).data().toInt() == id)
            return r;
    return -1;
}

} // namespace

TfrmMain::TfrmMain(TdmdMain &dm, QWidget *parent)
    : QMainWindow(parent), m_dm(dm), m_mode(std::make_unique<TApplicationMode>(*this))
{
    setObjectName(QStringLiteral("TfrmMain"));
    setWindowTitle(ApplyCaptionRule(QStringLiteral("Main")));
    setMinimumSize(790, 570);
    resize(790, 570);

    auto *central = new QWidget(this);
    auto *cl = new QVBoxLayout(central);
    cl->setContentsMargins(4, 4, 4, 0);
    cl->setSpacing(4);
    setCentralWidget(central);

    buildTopPanel();
    buildMenus();
    buildPages();
    buildStatusBar();

    auto *middle = new QHBoxLayout;
    middle->setSpacing(4);
    middle->addWidget(m_outlook);
    middle->addWidget(m_pgcMain, 1);
    auto *top = findChild<QWidget *>(QStringLiteral("pnlTop"));
    cl->addWidget(top);
    cl->addLayout(middle, 1);

    m_tmrRefresh = new QTimer(this);
    m_tmrRefresh->setObjectName(QStringLiteral("tmrRefresh"));
    m_tmrRefresh->setSingleShot(true);
    m_tmrRefresh->setInterval(50);
    connect(m_tmrRefresh, &QTimer::timeout, this, [this] { openOutlookGroupIndex(2); });

    connect(&m_dm, &TdmdMain::accountsChanged, this, [this] { reloadAccounts(currentId(m_dbgKovra, "Kovra_ID")); });
    connect(&m_dm, &TdmdMain::receiversChanged, this, [this] { reloadReceivers(currentId(m_dbgReceiver, "Receiver_ID")); });
    connect(&m_dm, &TdmdMain::usersChanged, this, [this] { reloadUsers(currentId(m_dbgUser, "User_ID")); });
    connect(&m_dm, &TdmdMain::logChanged, this, [this] { reloadLog(currentId(m_dbgLog, "Event_ID")); });

    SetMainWindowHooks(this);

    // Creation order: mode, input hook, address pane, configuration again,
    // database label.
    m_mode->UserType = std::uint8_t(Login().CurrentUserType);
    refreshAll();
    m_mode->SetMode(Login().CurrentMode);
#ifdef KOVRA_HAVE_AUTOLOGOUT
    m_autoLogout = new AutoLogout(m_dm, this);
#endif
    QStringList addresses;
    for (const QHostAddress &a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            addresses << a.toString();
    if (addresses.isEmpty())
        addresses << QStringLiteral("127.0.0.1");
    m_stpIPAddress->setText(LocalAddressText(addresses));
    m_dm.ReadConfiguration();
    setCurrentDatabaseLabel(m_dm.databaseOpen() || !m_dm.CurrentDatabasePath().isEmpty()
                                ? (m_dm.CurrentDatabasePath().isEmpty() ? m_dm.defaultDatabasePath()
                                                                        : m_dm.CurrentDatabasePath())
                                : QStringLiteral("No Database loaded."));
    restorePlacement();
}

TfrmMain::~TfrmMain()
{
    if (MainWindow() == this)
        SetMainWindowHooks(nullptr);
    delete m_debugWindow.data();
}

// ---- construction ----------------------------------------------------------

void TfrmMain::buildTopPanel()
{
    auto *panel = new QWidget(centralWidget());
    panel->setObjectName(QStringLiteral("pnlTop"));
    auto *l = new QHBoxLayout(panel);
    l->setContentsMargins(0, 0, 0, 0);
    m_btnLogin = makeButton(QStringLiteral("btnLogin"), QStringLiteral("L&og out"), panel);
    m_btnConfig = makeButton(QStringLiteral("btnConfig"), QStringLiteral("Co&nfigure"), panel);
    m_btnRefresh = makeButton(QStringLiteral("btnRefresh"), QStringLiteral("&Refresh"), panel);
    m_btnDebug = makeButton(QStringLiteral("btnDebug"), QStringLiteral("Debug"), panel);
    m_btnAbout = makeButton(QStringLiteral("btnAbout"), QStringLiteral("A&bout"), panel);
    m_btnExit = makeButton(QStringLiteral("btnExit"), QStringLiteral("E&xit"), panel);
    m_btnRefresh->hide();
    m_btnDebug->hide();
    m_lblCurrentDatabase = makeLabel(QStringLiteral("lblCurrentDatabase"), QString(), panel);
    m_lblCurrentDatabase->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblCurrentDatabase->setWordWrap(false);
    m_lblCurrentDatabase->setMinimumWidth(80);
    m_lblCurrentDatabase->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    for (QPushButton *b : {m_btnLogin, m_btnConfig, m_btnRefresh, m_btnDebug, m_btnAbout, m_btnExit})
        l->addWidget(b);
    l->addSpacing(8);
    l->addWidget(m_lblCurrentDatabase, 1);

    connect(m_btnLogin, &QPushButton::clicked, this, [this] { loginOrLogout(); });
    connect(m_btnConfig, &QPushButton::clicked, this, &TfrmMain::configure);
    connect(m_btnRefresh, &QPushButton::clicked, this, &TfrmMain::refreshAll);
    connect(m_btnDebug, &QPushButton::clicked, this, &TfrmMain::debugWindow);
    connect(m_btnAbout, &QPushButton::clicked, this, &TfrmMain::about);
    connect(m_btnExit, &QPushButton::clicked, this, &QWidget::close);

    m_outlook = new QToolBox(this);
    m_outlook->setObjectName(QStringLiteral("OutlookBar"));
    m_outlook->setFixedWidth(165);
    connect(m_outlook, &QToolBox::currentChanged, this, [this](int index) {
        if (m_rebuildingOutlook || index < 0)
            return;
        const QString caption = m_outlook->itemText(index);
        if (caption == QLatin1String("Kovra Accounts"))
            showPage(QLatin1String(kPageAccounts));
        else if (caption == QLatin1String("IP Receivers"))
            showPage(QLatin1String(kPageReceivers));
        else if (caption == QLatin1String("User Management") && Login().CurrentUserType != ModeUser)
            showPage(QLatin1String(kPageUsers));
        else if (caption == QLatin1String("Logs"))
            showPage(QLatin1String(kPageLogs));
    });
}

void TfrmMain::buildMenus()
{
    QMenuBar *bar = menuBar();
    QMenu *file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    connect(addItem(file, QStringLiteral("itmLogin"), QStringLiteral("&Log in")), &QAction::triggered, this, [this] { loginOrLogout(); });
    connect(addItem(file, QStringLiteral("itmLogout"), QStringLiteral("&Log out")), &QAction::triggered, this, [this] { loginOrLogout(); });
    file->addSeparator();
    connect(addItem(file, QStringLiteral("itmOpenDatabase"), QStringLiteral("&Open Database")), &QAction::triggered, this, &TfrmMain::openDatabase);
    connect(addItem(file, QStringLiteral("itmCreateDatabase"), QStringLiteral("C&reate New Database")), &QAction::triggered, this, &TfrmMain::createDatabase);
    file->addSeparator();
    connect(addItem(file, QStringLiteral("itmChangePassword"), QStringLiteral("&Change Password")), &QAction::triggered, this, &TfrmMain::changePassword);
    file->addSeparator();
    connect(addItem(file, QStringLiteral("itmExit"), QStringLiteral("E&xit")), &QAction::triggered, this, &QWidget::close);

    QMenu *view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mnuView"));
    connect(addItem(view, QStringLiteral("itmViewAccounts"), QStringLiteral("&Kovra Accounts")), &QAction::triggered, this, [this] { showPage(QLatin1String(kPageAccounts)); });
    connect(addItem(view, QStringLiteral("itmViewReceivers"), QStringLiteral("&IP Receivers")), &QAction::triggered, this, [this] { showPage(QLatin1String(kPageReceivers)); });
    connect(addItem(view, QStringLiteral("itmViewUsers"), QStringLiteral("User &Management")), &QAction::triggered, this, [this] { showPage(QLatin1String(kPageUsers)); });
    connect(addItem(view, QStringLiteral("itmViewLogs"), QStringLiteral("&Logs")), &QAction::triggered, this, [this] { showPage(QLatin1String(kPageLogs)); });

    QMenu *tools = bar->addMenu(QStringLiteral("Tool&s"));
    tools->setObjectName(QStringLiteral("mnuTools"));
    connect(addItem(tools, QStringLiteral("itmConfigure"), QStringLiteral("Co&nfigure")), &QAction::triggered, this, &TfrmMain::configure);
    connect(addItem(tools, QStringLiteral("itmExportAccount"), QStringLiteral("&Export Kovra Account")), &QAction::triggered, this, &TfrmMain::exportAccount);
    connect(addItem(tools, QStringLiteral("itmImportAccount"), QStringLiteral("&Import Kovra Account")), &QAction::triggered, this, &TfrmMain::importAccount);
    tools->addSeparator();
    QMenu *dbTools = tools->addMenu(QStringLiteral("&Database Tools"));
    dbTools->setObjectName(QStringLiteral("mnuDatabaseTools"));
    dbTools->menuAction()->setObjectName(QStringLiteral("itmDatabaseTools"));
    connect(addItem(dbTools, QStringLiteral("itmCompact"), QStringLiteral("Database &Compact And Repair")), &QAction::triggered, this, &TfrmMain::compactDatabase);
    dbTools->addSeparator();
    connect(addItem(dbTools, QStringLiteral("itmBackup"), QStringLiteral("Database &Backup")), &QAction::triggered, this, &TfrmMain::backupDatabase);
    connect(addItem(dbTools, QStringLiteral("itmRestore"), QStringLiteral("Database &Restore")), &QAction::triggered, this, &TfrmMain::restoreDatabase);

    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    connect(addItem(help, QStringLiteral("itmHelp"), QStringLiteral("&Kovra Console Help")), &QAction::triggered, this, &TfrmMain::help);
    help->addSeparator();
    connect(addItem(help, QStringLiteral("itmAbout"), QStringLiteral("A&bout")), &QAction::triggered, this, &TfrmMain::about);

    // Grid pop-up menus.
    m_popKovra = new QMenu(this);
    m_popKovra->setObjectName(QStringLiteral("popKovra"));
    connect(addItem(m_popKovra, QStringLiteral("popEditKovra"), QStringLiteral("&Edit Kovra Account")), &QAction::triggered, this, &TfrmMain::editEntry);
    connect(addItem(m_popKovra, QStringLiteral("popAddKovra"), QStringLiteral("&Add Kovra Account")), &QAction::triggered, this, &TfrmMain::addEntry);
    m_popKovra->addSeparator();
    connect(addItem(m_popKovra, QStringLiteral("popDeleteKovra"), QStringLiteral("&Delete Kovra Account")), &QAction::triggered, this, &TfrmMain::deleteEntry);
    m_popKovra->addSeparator();
    connect(addItem(m_popKovra, QStringLiteral("popKovraTemplate"), QStringLiteral("Kovra &Template")), &QAction::triggered, this, &TfrmMain::kovraTemplate);
    m_popKovra->addSeparator();
    connect(addItem(m_popKovra, QStringLiteral("popExportAccount"), QStringLiteral("E&xport Account")), &QAction::triggered, this, &TfrmMain::exportAccount);
    connect(addItem(m_popKovra, QStringLiteral("popImportAccount"), QStringLiteral("&Import Account")), &QAction::triggered, this, &TfrmMain::importAccount);
    m_popKovra->addSeparator();
    connect(addItem(m_popKovra, QStringLiteral("popProgramming"), QStringLiteral("Kovra P&rogramming")), &QAction::triggered, this, &TfrmMain::programming);
    m_popKovra->addSeparator();
    connect(addItem(m_popKovra, QStringLiteral("popUpdateReceivers"), QStringLiteral("Update Receivers")), &QAction::triggered, this, &TfrmMain::updateReceivers);

    m_popReceiver = new QMenu(this);
    m_popReceiver->setObjectName(QStringLiteral("popReceiver"));
    connect(addItem(m_popReceiver, QStringLiteral("popAddReceiver"), QStringLiteral("&Add Receiver")), &QAction::triggered, this, &TfrmMain::addEntry);
    connect(addItem(m_popReceiver, QStringLiteral("popEditReceiver"), QStringLiteral("&Edit Receiver")), &QAction::triggered, this, &TfrmMain::editEntry);
    m_popReceiver->addSeparator();
    connect(addItem(m_popReceiver, QStringLiteral("popDeleteReceiver"), QStringLiteral("&Delete Receiver")), &QAction::triggered, this, &TfrmMain::deleteEntry);
    m_popReceiver->addSeparator();
    connect(addItem(m_popReceiver, QStringLiteral("popReceiverTable"), QStringLiteral("&Receiver Kovra Table")), &QAction::triggered, this, &TfrmMain::receiverTable);

    m_popUser = new QMenu(this);
    m_popUser->setObjectName(QStringLiteral("popUser"));
    connect(addItem(m_popUser, QStringLiteral("popAddUser"), QStringLiteral("&Add User")), &QAction::triggered, this, &TfrmMain::addEntry);
    connect(addItem(m_popUser, QStringLiteral("popEditUser"), QStringLiteral("&Edit User")), &QAction::triggered, this, &TfrmMain::editEntry);
    m_popUser->addSeparator();
    connect(addItem(m_popUser, QStringLiteral("popDeleteUser"), QStringLiteral("&Delete User")), &QAction::triggered, this, &TfrmMain::deleteEntry);

    m_popLog = new QMenu(this);
    m_popLog->setObjectName(QStringLiteral("popLog"));
    connect(addItem(m_popLog, QStringLiteral("popDeleteLog"), QStringLiteral("&Delete Log Entry")), &QAction::triggered, this, &TfrmMain::deleteEntry);
    m_popLog->addSeparator();
    connect(addItem(m_popLog, QStringLiteral("popDeleteAllLogs"), QStringLiteral("Delete &All Logs")), &QAction::triggered, this, &TfrmMain::addEntry);
    m_popLog->addSeparator();
    connect(addItem(m_popLog, QStringLiteral("popExportLogs"), QStringLiteral("Export Logs to Excel")), &QAction::triggered, this, &TfrmMain::editEntry);
}

void TfrmMain::buildPages()
{
    m_pgcMain = new QTabWidget(this);
    m_pgcMain->setObjectName(QStringLiteral("pgcMain"));
    m_pages = {buildAccountsPage(), buildReceiversPage(), buildUsersPage(), buildLogsPage()};
    m_pageCaptions = {QStringLiteral(" Kovra Accounts "), QStringLiteral(" IP Receivers "),
                      QStringLiteral(" User Management"), QStringLiteral(" Logs ")};
    for (int i = 0; i < m_pages.size(); ++i)
        m_pgcMain->addTab(m_pages[i], m_pageCaptions[i]);
    connect(m_pgcMain, &QTabWidget::currentChanged, this, [this] { pageChanged(); });
}

static QGroupBox *groupBox(const QString &name, const QString &title, QWidget *parent)
{
    auto *g = new QGroupBox(title, parent);
    g->setObjectName(name);
    return g;
}

QWidget *TfrmMain::buildAccountsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QLatin1String(kPageAccounts));
    auto *l = new QVBoxLayout(page);
    l->setContentsMargins(4, 4, 4, 4);

    auto *bar = new QHBoxLayout;
    auto *btnOptions = makeButton(QStringLiteral("btnKovraOptions"), QStringLiteral("Kovra Te&mplate"), page);
    auto *btnProgram = makeButton(QStringLiteral("btnRemoteProgram"), QStringLiteral("Kovra &Programming"), page);
    auto *btnUpdate = makeButton(QStringLiteral("btnUpdateReceivers"), QStringLiteral("&Update Receivers"), page);
    bar->addWidget(btnOptions);
    bar->addWidget(btnProgram);
    bar->addWidget(btnUpdate);
    bar->addStretch();
    connect(btnOptions, &QPushButton::clicked, this, &TfrmMain::kovraTemplate);
    connect(btnProgram, &QPushButton::clicked, this, &TfrmMain::programming);
    connect(btnUpdate, &QPushButton::clicked, this, &TfrmMain::updateReceivers);
    l->addLayout(bar);

    auto *mid = new QHBoxLayout;
    m_dbgKovra = new TMXDBGrid(page);
    m_dbgKovra->setObjectName(QStringLiteral("dbgKovra"));
    m_kovraModel = new QSqlQueryModel(this);
    m_dbgKovra->setSourceModel(m_kovraModel);
    m_dbgKovra->setColumns({{QStringLiteral("KovraAccount"), QStringLiteral("Account"), 92},
                            {QStringLiteral("KovraIP"), QStringLiteral("IP Address"), 90},
                            {QStringLiteral("KovraKey"), QStringLiteral("Encryption Key"), 230}});
    m_dbgKovra->setGridReadOnly(true);
    m_dbgKovra->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_dbgKovra, &QWidget::customContextMenuRequested, this, [this](const QPoint &p) { m_popKovra->popup(m_dbgKovra->viewport()->mapToGlobal(p)); });
    connect(m_dbgKovra, &QAbstractItemView::doubleClicked, this, &TfrmMain::editEntry);
    connect(m_dbgKovra, &TMXDBGrid::titleClicked, this, &TfrmMain::accountTitleClicked);
    connect(m_dbgKovra, &TMXDBGrid::currentRowChanged, this, [this] { updateAccountSide(); writeCounters(); });
    mid->addWidget(m_dbgKovra, 1);

    auto *side = groupBox(QStringLiteral("grpAccountInformation"), QString(), page);
    auto *sl = new QVBoxLayout(side);
    sl->addWidget(makeLabel(QStringLiteral("lblAdditionalAccount"), QStringLiteral("Additional Account\nInformation:"), side));
    for (int i = 0; i < 3; ++i) {
        sl->addWidget(makeLabel(QStringLiteral("lblReceiver%1").arg(i + 1), QStringLiteral("IP Receiver %1").arg(i + 1), side));
        m_edtReceiver[i] = new QLineEdit(side);
        m_edtReceiver[i]->setObjectName(QStringLiteral("dbeReceiver%1").arg(i + 1));
        m_edtReceiver[i]->setReadOnly(true);
        sl->addWidget(m_edtReceiver[i]);
    }
    sl->addStretch();
    side->setFixedWidth(140);
    mid->addWidget(side);
    l->addLayout(mid, 1);

    auto *bottom = new QHBoxLayout;
    auto *entries = groupBox(QStringLiteral("grpKovraEntries"), QStringLiteral(" Kovra Entries"), page);
    auto *el = new QHBoxLayout(entries);
    m_btnKovraAdd = makeButton(QStringLiteral("btnKovraAdd"), QStringLiteral("&Add "), entries);
    m_btnKovraEdit = makeButton(QStringLiteral("btnKovraEdit"), QStringLiteral("&Edit "), entries);
    m_btnKovraDelete = makeButton(QStringLiteral("btnKovraDelete"), QStringLiteral("&Delete "), entries);
    m_lblKovraCurrentEntry = makeLabel(QStringLiteral("lblKovraCurrentEntry"), QStringLiteral("No Entries"), entries);
    for (QPushButton *b : {m_btnKovraAdd, m_btnKovraEdit, m_btnKovraDelete})
        el->addWidget(b);
    el->addWidget(m_lblKovraCurrentEntry, 1);
    connect(m_btnKovraAdd, &QPushButton::clicked, this, &TfrmMain::addEntry);
    connect(m_btnKovraEdit, &QPushButton::clicked, this, &TfrmMain::editEntry);
    connect(m_btnKovraDelete, &QPushButton::clicked, this, &TfrmMain::deleteEntry);
    bottom->addWidget(entries, 1);

    auto *search = groupBox(QStringLiteral("grpSearchAccount"), QStringLiteral(" Search By Account Number "), page);
    auto *srl = new QHBoxLayout(search);
    m_edtAccountNumber = new TMXHexEdit(search);
    m_edtAccountNumber->setObjectName(QStringLiteral("edtAccountNumber"));
    m_edtAccountNumber->setMaxLength(10);
    srl->addWidget(m_edtAccountNumber);
    connect(m_edtAccountNumber, &QLineEdit::textChanged, this, &TfrmMain::searchAccount);
    search->setFixedWidth(190);
    bottom->addWidget(search);
    l->addLayout(bottom);
    return page;
}

QWidget *TfrmMain::buildReceiversPage()
{
    auto *page = new QWidget;
    page->setObjectName(QLatin1String(kPageReceivers));
    auto *l = new QVBoxLayout(page);
    l->setContentsMargins(4, 4, 4, 4);

    auto *bar = new QHBoxLayout;
    m_btnKovraTable = makeButton(QStringLiteral("btnKovraTable"), QStringLiteral("Receiver Kovra &Table"), page);
    connect(m_btnKovraTable, &QPushButton::clicked, this, &TfrmMain::receiverTable);
    bar->addWidget(m_btnKovraTable);
    bar->addStretch();
    l->addLayout(bar);

    auto *mid = new QHBoxLayout;
    m_dbgReceiver = new TMXDBGrid(page);
    m_dbgReceiver->setObjectName(QStringLiteral("dbgReceiver"));
    m_receiverModel = new QSqlQueryModel(this);
    m_dbgReceiver->setSourceModel(m_receiverModel);
    m_dbgReceiver->setColumns({{QStringLiteral("ReceiverIP"), QStringLiteral("Receiver IP"), 110},
                               {QStringLiteral("ReceiverName"), QStringLiteral("Receiver Name"), 160},
                               {QStringLiteral("ReceiverTypeName"), QStringLiteral("Receiver Type"), 110}});
    m_dbgReceiver->setGridReadOnly(true);
    m_dbgReceiver->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_dbgReceiver, &QWidget::customContextMenuRequested, this, [this](const QPoint &p) { m_popReceiver->popup(m_dbgReceiver->viewport()->mapToGlobal(p)); });
    connect(m_dbgReceiver, &QAbstractItemView::doubleClicked, this, &TfrmMain::editEntry);
    connect(m_dbgReceiver, &TMXDBGrid::currentRowChanged, this, [this] { updateReceiverSide(); writeCounters(); });
    mid->addWidget(m_dbgReceiver, 1);

    auto *side = groupBox(QStringLiteral("grpReceiverInformation"), QString(), page);
    auto *sl = new QVBoxLayout(side);
    sl->addWidget(makeLabel(QStringLiteral("lblAdditionalInformation"), QStringLiteral("Additional Information:"), side));
    sl->addWidget(makeLabel(QStringLiteral("lblReceiverDescription"), QStringLiteral("Receiver Description"), side));
    m_DBMemo1 = new QPlainTextEdit(side);
    m_DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    m_DBMemo1->installEventFilter(this);
    sl->addWidget(m_DBMemo1, 1);
    sl->addWidget(makeLabel(QStringLiteral("lblReceiverPassword"), QStringLiteral("Receiver Password"), side));
    m_edtReceiverPassword = new QLineEdit(side);
    m_edtReceiverPassword->setObjectName(QStringLiteral("dbeReceiverPassword"));
    m_edtReceiverPassword->setReadOnly(true);
    sl->addWidget(m_edtReceiverPassword);
    side->setFixedWidth(140);
    mid->addWidget(side);
    l->addLayout(mid, 1);

    auto *bottom = new QHBoxLayout;
    auto *entries = groupBox(QStringLiteral("grpReceiverEntries"), QStringLiteral(" Receiver Entries"), page);
    auto *el = new QHBoxLayout(entries);
    auto *add = makeButton(QStringLiteral("btnReceiverAdd"), QStringLiteral("&Add "), entries);
    auto *edit = makeButton(QStringLiteral("btnReceiverEdit"), QStringLiteral("&Edit "), entries);
    auto *del = makeButton(QStringLiteral("btnReceiverDelete"), QStringLiteral("&Delete "), entries);
    m_lblReceiverCurrentEntry = makeLabel(QStringLiteral("lblReceiverCurrentEntry"), QStringLiteral("No Entries"), entries);
    for (QPushButton *b : {add, edit, del})
        el->addWidget(b);
    el->addWidget(m_lblReceiverCurrentEntry, 1);
    connect(add, &QPushButton::clicked, this, &TfrmMain::addEntry);
    connect(edit, &QPushButton::clicked, this, &TfrmMain::editEntry);
    connect(del, &QPushButton::clicked, this, &TfrmMain::deleteEntry);
    bottom->addWidget(entries, 1);

    auto *search = groupBox(QStringLiteral("grpSearchReceiver"), QStringLiteral("Search By Receiver IP Address"), page);
    auto *srl = new QHBoxLayout(search);
    m_edtReceiverIPAddress = new QLineEdit(search);
    m_edtReceiverIPAddress->setObjectName(QStringLiteral("edtReceiverIPAddress"));
    m_edtReceiverIPAddress->setMaxLength(20);
    srl->addWidget(m_edtReceiverIPAddress);
    connect(m_edtReceiverIPAddress, &QLineEdit::textChanged, this, &TfrmMain::searchReceiver);
    search->setFixedWidth(190);
    bottom->addWidget(search);
    l->addLayout(bottom);
    return page;
}

QWidget *TfrmMain::buildUsersPage()
{
    auto *page = new QWidget;
    page->setObjectName(QLatin1String(kPageUsers));
    auto *l = new QVBoxLayout(page);
    l->setContentsMargins(4, 4, 4, 4);

    m_dbgUser = new TMXDBGrid(page);
    m_dbgUser->setObjectName(QStringLiteral("dbgUser"));
    m_userModel = new QSqlQueryModel(this);
    m_dbgUser->setSourceModel(m_userModel);
    m_dbgUser->setColumns({{QStringLiteral("UserLoginName"), QStringLiteral("Login Name"), 100},
                           {QStringLiteral("UserFirstName"), QStringLiteral("First Name"), 100},
                           {QStringLiteral("UserLastName"), QStringLiteral("Last Name"), 100},
                           {QStringLiteral("UserTypeName"), QStringLiteral("User Type"), 90},
                           {QStringLiteral("UserExpireDate"), QStringLiteral("Password Expiration Date"), 150}});
    m_dbgUser->setGridReadOnly(true);
    m_dbgUser->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_dbgUser, &QWidget::customContextMenuRequested, this, [this](const QPoint &p) { m_popUser->popup(m_dbgUser->viewport()->mapToGlobal(p)); });
    connect(m_dbgUser, &QAbstractItemView::doubleClicked, this, &TfrmMain::editEntry);
    l->addWidget(m_dbgUser, 1);

    auto *bottom = new QHBoxLayout;
    auto *manage = groupBox(QStringLiteral("grpManageUsers"), QStringLiteral(" Manage Users "), page);
    auto *ml = new QHBoxLayout(manage);
    auto *add = makeButton(QStringLiteral("btnUserAdd"), QStringLiteral("&Add "), manage);
    auto *edit = makeButton(QStringLiteral("btnUserEdit"), QStringLiteral("&Edit "), manage);
    auto *del = makeButton(QStringLiteral("btnUserDelete"), QStringLiteral("&Delete "), manage);
    for (QPushButton *b : {add, edit, del})
        ml->addWidget(b);
    ml->addStretch();
    connect(add, &QPushButton::clicked, this, &TfrmMain::addEntry);
    connect(edit, &QPushButton::clicked, this, &TfrmMain::editEntry);
    connect(del, &QPushButton::clicked, this, &TfrmMain::deleteEntry);
    bottom->addWidget(manage, 1);

    auto addSearch = [&](const QString &group, const QString &title, const QString &edit, QLineEdit *&target, const char *field) {
        auto *g = groupBox(group, title, page);
        auto *gl = new QHBoxLayout(g);
        target = new QLineEdit(g);
        target->setObjectName(edit);
        target->setMaxLength(30);
        target->setContextMenuPolicy(Qt::NoContextMenu);
        gl->addWidget(target);
        g->setFixedWidth(150);
        connect(target, &QLineEdit::textChanged, this, [this, field](const QString &t) { searchUser(t, field); });
        bottom->addWidget(g);
    };
    addSearch(QStringLiteral("grpSearchLogin"), QStringLiteral("Search By Login Name"), QStringLiteral("edtLoginName"), m_edtLoginName, "UserLoginName");
    addSearch(QStringLiteral("grpSearchLastName"), QStringLiteral("Search By Last Name"), QStringLiteral("edtLastName"), m_edtLastName, "UserLastName");
    l->addLayout(bottom);
    return page;
}

QWidget *TfrmMain::buildLogsPage()
{
    auto *page = new QWidget;
    page->setObjectName(QLatin1String(kPageLogs));
    auto *l = new QVBoxLayout(page);
    l->setContentsMargins(4, 4, 4, 4);

    auto *bar = new QHBoxLayout;
    m_btnSaveToExcel = makeButton(QStringLiteral("btnSaveToExcel"), QStringLiteral("&Export Logs to Excel "), page);
    connect(m_btnSaveToExcel, &QPushButton::clicked, this, &TfrmMain::editEntry);
    bar->addWidget(m_btnSaveToExcel);
    bar->addStretch();
    l->addLayout(bar);

    auto *mid = new QHBoxLayout;
    m_dbgLog = new TMXDBGrid(page);
    m_dbgLog->setObjectName(QStringLiteral("dbgLog"));
    m_logModel = new QSqlQueryModel(this);
    m_dbgLog->setSourceModel(m_logModel);
    m_dbgLog->setColumns({{QStringLiteral("EventTime"), QStringLiteral("Event Time"), 140},
                          {QStringLiteral("User"), QStringLiteral("User"), 90},
                          {QStringLiteral("Event"), QStringLiteral("Event"), 160}});
    m_dbgLog->setGridReadOnly(true);
    m_dbgLog->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_dbgLog, &QWidget::customContextMenuRequested, this, [this](const QPoint &p) { m_popLog->popup(m_dbgLog->viewport()->mapToGlobal(p)); });
    connect(m_dbgLog, &TMXDBGrid::currentRowChanged, this, [this] { updateLogSide(); writeCounters(); });
    mid->addWidget(m_dbgLog, 1);

    auto *side = groupBox(QStringLiteral("grpEventDescription"), QString(), page);
    auto *sl = new QVBoxLayout(side);
    sl->addWidget(makeLabel(QStringLiteral("lblEventDescription"), QStringLiteral("Event Description:"), side));
    m_DBMemo2 = new QPlainTextEdit(side);
    m_DBMemo2->setObjectName(QStringLiteral("DBMemo2"));
    // The audit log is never edited by hand.
    m_DBMemo2->setReadOnly(true);
    sl->addWidget(m_DBMemo2, 1);
    side->setFixedWidth(140);
    mid->addWidget(side);
    l->addLayout(mid, 1);

    auto *entries = groupBox(QStringLiteral("grpLogEntries"), QStringLiteral(" Log Entries"), page);
    auto *el = new QHBoxLayout(entries);
    m_btnLogDelete = makeButton(QStringLiteral("btnLogDelete"), QStringLiteral("&Delete"), entries);
    m_btnLogDeleteAll = makeButton(QStringLiteral("btnLogDeleteAll"), QStringLiteral("Delete &All "), entries);
    m_lblLogCurrentEntry = makeLabel(QStringLiteral("lblLogCurrentEntry"), QStringLiteral("No Entries"), entries);
    el->addWidget(m_btnLogDelete);
    el->addWidget(m_btnLogDeleteAll);
    el->addWidget(m_lblLogCurrentEntry, 1);
    connect(m_btnLogDelete, &QPushButton::clicked, this, &TfrmMain::deleteEntry);
    connect(m_btnLogDeleteAll, &QPushButton::clicked, this, &TfrmMain::addEntry);
    l->addWidget(entries);
    return page;
}

void TfrmMain::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    m_stpMode = makeLabel(QStringLiteral("stpMode"), QString(), bar);
    m_stpLoggedUser = makeLabel(QStringLiteral("stpLoggedUser"), QString(), bar);
    m_stpIPAddress = makeLabel(QStringLiteral("stpIPAddress"), QStringLiteral("Local IP - "), bar);
    // Panes and counters change on every scroll: no wrapping, no relayout.
    for (QLabel *pane : {m_stpMode, m_stpLoggedUser, m_stpIPAddress, m_lblKovraCurrentEntry,
                         m_lblReceiverCurrentEntry, m_lblLogCurrentEntry})
        pane->setWordWrap(false);
    m_stpMode->setMinimumWidth(170);
    bar->addWidget(m_stpMode);
    bar->addWidget(m_stpLoggedUser, 1);
    bar->addPermanentWidget(m_stpIPAddress);
}

// ---- mode --------------------------------------------------------------------

int TfrmMain::mode() const { return m_mode->Mode; }
void TfrmMain::setMode(int mode) { m_mode->SetMode(mode); }

void TfrmMain::applyLoginMode()
{
    m_mode->UserType = std::uint8_t(Login().CurrentUserType);
    m_mode->SetMode(Login().CurrentMode);
}

void TfrmMain::logOut(bool logEvent)
{
    if (logEvent)
        m_dm.WriteLogEvent(1, Login().CurrentUserName);
    Login().CurrentUserType = ModeUnattended;
    Login().CurrentMode = ModeUnattended;
    m_mode->UserType = ModeUnattended;
    m_mode->SetMode(ModeUnattended);
}

bool TfrmMain::pageShown(const QString &pageName) const
{
    for (int i = 0; i < m_pages.size(); ++i)
        if (m_pages[i]->objectName() == pageName)
            return m_pgcMain->isTabVisible(m_pgcMain->indexOf(m_pages[i]));
    return false;
}

void TfrmMain::setPageVisible(const QString &pageName, bool visible)
{
    for (QWidget *p : m_pages)
        if (p->objectName() == pageName)
            m_pgcMain->setTabVisible(m_pgcMain->indexOf(p), visible);
}

QStringList TfrmMain::shownPages() const
{
    QStringList out;
    for (QWidget *p : m_pages)
        if (pageShown(p->objectName()))
            out << p->objectName();
    return out;
}

QString TfrmMain::currentPageName() const
{
    QWidget *w = m_pgcMain->currentWidget();
    if (!w || !pageShown(w->objectName()))
        return {};
    return w->objectName();
}

void TfrmMain::applyModeRule(const ModeRule &rule)
{
    auto apply = [](QWidget *w, const ControlRule &r) {
        if (r.shown >= 0)
            w->setVisible(r.shown == 1);
        if (r.enabled >= 0)
            w->setEnabled(r.enabled == 1);
    };
    m_stpMode->setText(rule.statusText);
    if (!rule.loginCaption.isEmpty())
        m_btnLogin->setText(rule.loginCaption);
    apply(m_btnConfig, rule.config);
    m_btnDebug->setVisible(rule.debugAllowed && Login().ServiceLogin);
    apply(m_btnAbout, rule.about);
    apply(m_btnExit, rule.exit);
    m_btnRefresh->hide();
    m_btnLogDelete->setVisible(rule.logCommands);
    m_btnLogDeleteAll->setVisible(rule.logCommands);
    for (QAction *a : m_popLog->actions())
        if (!a->isSeparator())
            a->setVisible(rule.logCommands);
    m_btnSaveToExcel->setVisible(rule.saveToExcel);
    m_DBMemo2->setEnabled(rule.memo2Enabled);

    // Pages: show the mode's pages before hiding the others, so that the tab
    // widget never has to pick a page the mode does not offer.
    m_pgcMain->blockSignals(true);
    for (QWidget *p : m_pages)
        if (rule.pages.contains(p->objectName()))
            setPageVisible(p->objectName(), true);
    for (QWidget *p : m_pages)
        if (!rule.pages.contains(p->objectName()))
            setPageVisible(p->objectName(), false);
    m_pgcMain->setVisible(!rule.pages.isEmpty());
    if (!rule.activePage.isEmpty()) {
        for (QWidget *p : m_pages)
            if (p->objectName() == rule.activePage)
                m_pgcMain->setCurrentWidget(p);
    } else if (!rule.pages.isEmpty()
               && (!m_pgcMain->currentWidget() || !rule.pages.contains(m_pgcMain->currentWidget()->objectName()))) {
        for (QWidget *p : m_pages)
            if (p->objectName() == rule.pages.first())
                m_pgcMain->setCurrentWidget(p);
    }
    m_pgcMain->blockSignals(false);

    if (rule.kovraTable.shown >= 0 || rule.kovraTable.enabled >= 0)
        apply(m_btnKovraTable, rule.kovraTable);
    if (QAction *a = action(QStringLiteral("popReceiverTable"))) {
        if (rule.receiverPopupTable.shown >= 0)
            a->setVisible(rule.receiverPopupTable.shown == 1);
        if (rule.receiverPopupTable.enabled >= 0)
            a->setEnabled(rule.receiverPopupTable.enabled == 1);
    }

    auto applyMenu = [](QMenu *m, const QStringList &entries) {
        for (QAction *a : m->actions()) {
            if (a->isSeparator())
                continue;
            a->setVisible(entries.contains(a->text()));
            if (QMenu *sub = a->menu())
                for (QAction *s : sub->actions())
                    if (!s->isSeparator())
                        s->setVisible(entries.contains(s->text()));
        }
        m->menuAction()->setVisible(!entries.isEmpty());
    };
    applyMenu(menu(QStringLiteral("mnuFile")), rule.fileMenu);
    applyMenu(menu(QStringLiteral("mnuView")), rule.viewMenu);
    applyMenu(menu(QStringLiteral("mnuTools")), rule.toolsMenu);
    QMenu *helpMenu = menu(QStringLiteral("mnuHelp"));
    helpMenu->menuAction()->setVisible(rule.helpMenu);

    if (rule.userFilterChanged)
        m_userFilter = rule.userFilter;
    m_stpLoggedUser->setText(rule.loggedUserPrefix.isEmpty() ? QString()
                                                             : rule.loggedUserPrefix + LoginText(Login().CurrentUserName));
    rebuildOutlook(rule);
    reloadUsers(currentId(m_dbgUser, "User_ID"));
    pageChanged();
}

void TfrmMain::rebuildOutlook(const ModeRule &rule)
{
    m_rebuildingOutlook = true;
    while (m_outlook->count() > 0) {
        QWidget *w = m_outlook->widget(m_outlook->count() - 1);
        m_outlook->removeItem(m_outlook->count() - 1);
        delete w;
    }
    for (const OutlookGroupRule &g : rule.outlook) {
        auto *list = new QListWidget;
        list->setObjectName(QStringLiteral("grp") + QString(g.caption).remove(QLatin1Char(' ')).remove(QLatin1Char('/')));
        list->addItems(g.items);
        list->setFrameShape(QFrame::NoFrame);
        connect(list, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) { outlookItem(item->text()); });
        m_outlook->addItem(list, g.caption);
    }
    const bool loggedIn = rule.mode != ModeUnknown && rule.mode != ModeUnattended;
    m_outlook->setCurrentIndex(loggedIn && m_outlook->count() >= 2 ? 1 : 0);
    m_rebuildingOutlook = false;
}

void TfrmMain::openOutlookGroupIndex(int group)
{
    if (group < 1 || group > m_outlook->count())
        return;
    m_rebuildingOutlook = true;   // opening by rule must not switch the page again
    m_outlook->setCurrentIndex(group - 1);
    m_rebuildingOutlook = false;
}

QStringList TfrmMain::outlookGroups() const
{
    QStringList out;
    for (int i = 0; i < m_outlook->count(); ++i)
        out << m_outlook->itemText(i);
    return out;
}

QStringList TfrmMain::outlookItems(int group) const
{
    QStringList out;
    if (auto *list = qobject_cast<QListWidget *>(m_outlook->widget(group - 1)))
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
    return out;
}

int TfrmMain::openOutlookGroup() const { return m_outlook->count() ? m_outlook->currentIndex() + 1 : 0; }

QAction *TfrmMain::action(const QString &objectName) const { return findChild<QAction *>(objectName); }
QMenu *TfrmMain::menu(const QString &objectName) const { return findChild<QMenu *>(objectName); }

// ---- pages, lists, counters ---------------------------------------------------

void TfrmMain::showPage(const QString &pageName)
{
    if (!pageShown(pageName))
        return;
    for (QWidget *p : m_pages)
        if (p->objectName() == pageName) {
            if (m_pgcMain->currentWidget() == p)
                pageChanged();
            else
                m_pgcMain->setCurrentWidget(p);
        }
}

void TfrmMain::pageChanged()
{
    const QString page = currentPageName();
    if (page.isEmpty())
        return;
    openOutlookGroupIndex(OutlookGroupForPage(mode(), page));
    if (page == QLatin1String(kPageUsers))
        reloadUsers(currentId(m_dbgUser, "User_ID"));
    m_DBMemo1->setEnabled(m_dbgReceiver->rowCount() > 0);
    m_DBMemo2->setEnabled(m_dbgLog->rowCount() > 0 && mode() == ModeAdministrator);
    writeCounters();
}

void TfrmMain::refreshAll()
{
    reloadAccounts(currentId(m_dbgKovra, "Kovra_ID"));
    reloadReceivers(currentId(m_dbgReceiver, "Receiver_ID"));
    reloadUsers(currentId(m_dbgUser, "User_ID"));
    reloadLog(currentId(m_dbgLog, "Event_ID"));
}

int TfrmMain::currentId(TMXDBGrid *grid, const char *field) const
{
    const QVariant v = grid->currentValue(QLatin1String(field));
    return v.isValid() ? v.toInt() : -1;
}

static void selectAfterLoad(TMXDBGrid *grid, QSqlQueryModel *model, const char *idField, int keepId, int fallbackRow)
{
    int row = rowOfId(model, idField, keepId);
    if (row < 0)
        row = qMin(fallbackRow, model->rowCount() - 1);
    if (row < 0 && model->rowCount() > 0)
        row = 0;
    if (row >= 0)
        grid->setCurrentRow(row);
}

void TfrmMain::reloadAccounts(int keepId)
{
    const int oldRow = m_dbgKovra->currentRow();
    loadModel(m_kovraModel, m_dbgKovra, AccountListQuery(m_sort.orderBy()),
              m_dm.databaseOpen() ? m_dm.accountDatabase() : QSqlDatabase());
    m_accountNumbers = columnValues(m_kovraModel, QStringLiteral("KovraAccount"));
    selectAfterLoad(m_dbgKovra, m_kovraModel, "Kovra_ID", keepId, qMax(0, oldRow));
    updateAccountSide();
    writeCounters();
}

void TfrmMain::reloadReceivers(int keepId)
{
    const int oldRow = m_dbgReceiver->currentRow();
    loadModel(m_receiverModel, m_dbgReceiver, ReceiverListQuery(),
              m_dm.databaseOpen() ? m_dm.accountDatabase() : QSqlDatabase());
    m_receiverAddresses = columnValues(m_receiverModel, QStringLiteral("ReceiverIP"));
    selectAfterLoad(m_dbgReceiver, m_receiverModel, "Receiver_ID", keepId, qMax(0, oldRow));
    m_DBMemo1->setEnabled(m_dbgReceiver->rowCount() > 0);
    updateReceiverSide();
    writeCounters();
}

bool TfrmMain::userListFiltered() const { return !Login().ServiceLogin; }

void TfrmMain::reloadUsers(int keepId)
{
    const int oldRow = m_dbgUser->currentRow();
    // The service login sees every user.
    loadModel(m_userModel, m_dbgUser, UserListQuery(userListFiltered() ? m_userFilter : QString()),
              m_dm.userDatabaseOpen() ? m_dm.userDatabase() : QSqlDatabase());
    selectAfterLoad(m_dbgUser, m_userModel, "User_ID", keepId, qMax(0, oldRow));
}

void TfrmMain::reloadLog(int keepId)
{
    const int oldRow = m_dbgLog->currentRow();
    loadModel(m_logModel, m_dbgLog, LogListQuery(), m_dm.userDatabaseOpen() ? m_dm.userDatabase() : QSqlDatabase());
    selectAfterLoad(m_dbgLog, m_logModel, "Event_ID", keepId, qMax(0, oldRow));
    m_DBMemo2->setEnabled(m_dbgLog->rowCount() > 0 && mode() == ModeAdministrator);
    updateLogSide();
    writeCounters();
}

void TfrmMain::updateAccountSide()
{
    for (int i = 0; i < 3; ++i)
        m_edtReceiver[i]->setText(m_dbgKovra->currentValue(QStringLiteral("Receiver%1").arg(i + 1)).toString());
}

void TfrmMain::updateReceiverSide()
{
    m_memo1ReceiverId = currentId(m_dbgReceiver, "Receiver_ID");
    m_DBMemo1->blockSignals(true);
    m_DBMemo1->setPlainText(m_dbgReceiver->currentValue(QStringLiteral("ReceiverDescription")).toString());
    m_DBMemo1->blockSignals(false);
    m_edtReceiverPassword->setText(m_dbgReceiver->currentValue(QStringLiteral("ReceiverPassword")).toString());
}

void TfrmMain::updateLogSide()
{
    m_DBMemo2->setPlainText(m_dbgLog->currentValue(QStringLiteral("EventDescription")).toString());
}

void TfrmMain::writeCounters()
{
    m_lblKovraCurrentEntry->setText(EntryCounter(m_dbgKovra->currentRow() + 1, m_dbgKovra->rowCount()));
    m_lblReceiverCurrentEntry->setText(EntryCounter(m_dbgReceiver->currentRow() + 1, m_dbgReceiver->rowCount()));
    m_lblLogCurrentEntry->setText(EntryCounter(m_dbgLog->currentRow() + 1, m_dbgLog->rowCount()));
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_DBMemo1) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter)
                return true;   // the description is one paragraph
        } else if (event->type() == QEvent::FocusOut && m_memo1ReceiverId >= 0 && m_dm.databaseOpen()) {
            const QString text = m_DBMemo1->toPlainText();
            if (text != m_dbgReceiver->currentValue(QStringLiteral("ReceiverDescription")).toString()) {
                try {
                    SaveReceiverDescription(m_dm, m_memo1ReceiverId, text);
                    reloadReceivers(m_memo1ReceiverId);
                } catch (const DatabaseError &e) {
                    ShowError(e.text());
                }
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::accountTitleClicked(const QString &field)
{
    if (!m_sort.click(field, m_dbgKovra->rowCount()))
        return;
    reloadAccounts(currentId(m_dbgKovra, "Kovra_ID"));
}

void TfrmMain::searchAccount(const QString &text)
{
    const int row = FindPrefixRow(m_accountNumbers, text, Qt::CaseInsensitive);
    if (row >= 0)
        m_dbgKovra->setCurrentRow(row);
}

void TfrmMain::searchReceiver(const QString &text)
{
    const int row = FindPrefixRow(m_receiverAddresses, text, Qt::CaseInsensitive);
    if (row >= 0)
        m_dbgReceiver->setCurrentRow(row);
}

void TfrmMain::searchUser(const QString &text, const char *field)
{
    if (text.isEmpty())
        return;
    m_dbgUser->setUpdatesEnabled(false);
    const int row = UserSearchRow(columnValues(m_userModel, QLatin1String(field)), text, m_dbgUser->currentRow());
    m_dbgUser->setCurrentRow(row);
    m_dbgUser->setUpdatesEnabled(true);
}

// ---- commands ----------------------------------------------------------------

void TfrmMain::notAvailable() { ShowTimedInfo(QStringLiteral("Not available in this version."), -5000); }

void TfrmMain::loginOrLogout(bool fromOutlook)
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    if (m_btnLogin->text() == QLatin1String("&Log out")) {
        if (!AskQuestion(QStringLiteral("Confirmation"), QStringLiteral("Do you really want to log out?"), MessageKind::YesNo))
            logOut(true);
    } else {
#ifdef KOVRA_HAVE_LOGIN
        int result = LoginCancel;
        {
            TfrmLogin login(m_dm, this);
            result = login.exec();
        }
        if (result == LoginOk) {
            if (CheckPasswordExpiry(m_dm))
                applyLoginMode();
            else
                ShowError(QStringLiteral("You did not change your Password. Access denied."));
        } else if (result == LoginAbort) {
            m_mode->UserType = std::uint8_t(Login().CurrentUserType);
            m_mode->SetMode(Login().CurrentUserType);
            m_mode->SetMode(ModeNoDatabase);
        }
#else
        notAvailable();
#endif
    }
    if (fromOutlook)
        m_tmrRefresh->start();
}

void TfrmMain::addEntry()
{
    const QString page = currentPageName();
    if (page == QLatin1String(kPageAccounts)) {
        notAvailable();   // the account editor comes with the accounts windows
    } else if (page == QLatin1String(kPageReceivers)) {
        notAvailable();
    } else if (page == QLatin1String(kPageUsers)) {
#ifdef KOVRA_HAVE_USERS
        {
            TfrmUserManagement editor(m_dm, TfrmUserManagement::Add, Login().CurrentUserType, 0, this);
            editor.exec();
        }
        reloadUsers(currentId(m_dbgUser, "User_ID"));
#else
        notAvailable();
#endif
    } else if (page == QLatin1String(kPageLogs)) {
        if (m_btnLogDeleteAll->isHidden())
            return;
        try {
            if (DeleteAllLogsAsked(m_dm))
                reloadLog();
        } catch (const DatabaseError &e) {
            ShowError(e.text());
        }
    }
}

void TfrmMain::editEntry()
{
    const QString page = currentPageName();
    if (page == QLatin1String(kPageAccounts) || page == QLatin1String(kPageReceivers)) {
        if (!m_dm.databaseOpen()) {
            ShowTimedError(QStringLiteral("No Database Loaded."), -5000);
            return;
        }
        TMXDBGrid *grid = page == QLatin1String(kPageAccounts) ? m_dbgKovra : m_dbgReceiver;
        if (grid->currentRow() < 0)
            return;
        notAvailable();   // account and receiver editors come with their windows
    } else if (page == QLatin1String(kPageUsers)) {
#ifdef KOVRA_HAVE_USERS
        const int id = currentId(m_dbgUser, "User_ID");
        if (id < 0)
            return;
        if (!UserDataValid(m_dm, id))
            return;
        {
            TfrmUserManagement editor(m_dm, TfrmUserManagement::Edit, Login().CurrentUserType, id, this);
            editor.exec();
        }
        reloadUsers(id);
#else
        notAvailable();
#endif
    } else if (page == QLatin1String(kPageLogs)) {
        if (m_btnSaveToExcel->isHidden())
            return;
        exportLogs();
    }
}

void TfrmMain::deleteEntry()
{
    const QString page = currentPageName();
    try {
        if (page == QLatin1String(kPageAccounts)) {
            const int id = currentId(m_dbgKovra, "Kovra_ID");
            if (m_btnKovraDelete->isHidden() || id < 0)
                return;
            DeleteAccountEntry(m_dm, id);
        } else if (page == QLatin1String(kPageReceivers)) {
            const int id = currentId(m_dbgReceiver, "Receiver_ID");
            if (id < 0)
                return;
            const int row = m_dbgKovra->currentRow();
            if (DeleteReceiverEntry(m_dm, id)) {
                ProgressScope progress(QStringLiteral("Please Wait ..."), false);
                reloadAccounts();
                m_dbgKovra->setCurrentRow(qMin(row, m_dbgKovra->rowCount() - 1));
                writeCounters();
            }
        } else if (page == QLatin1String(kPageUsers)) {
            const int id = currentId(m_dbgUser, "User_ID");
            if (id < 0)
                return;
            DeleteUserEntry(m_dm, id);
        } else if (page == QLatin1String(kPageLogs)) {
            const int id = currentId(m_dbgLog, "Event_ID");
            if (m_btnLogDelete->isHidden() || id < 0)
                return;
            DeleteLogEntryAsked(m_dm, id);
        }
    } catch (const DatabaseError &e) {
        ShowError(e.text());
    }
}

void TfrmMain::kovraTemplate()
{
    if (!pageShown(QLatin1String(kPageAccounts)))
        return;
    notAvailable();
}

void TfrmMain::programming()
{
    if (!pageShown(QLatin1String(kPageAccounts)) || m_dbgKovra->currentRow() < 0)
        return;
    notAvailable();
}

void TfrmMain::updateReceivers()
{
    if (!pageShown(QLatin1String(kPageAccounts)) || m_dbgKovra->currentRow() < 0)
        return;
    notAvailable();
}

void TfrmMain::receiverTable()
{
    if (!pageShown(QLatin1String(kPageReceivers)) || m_dbgReceiver->currentRow() < 0)
        return;
    notAvailable();
}

void TfrmMain::exportAccount()
{
    const int id = currentId(m_dbgKovra, "Kovra_ID");
    if (!m_dm.databaseOpen() || id < 0)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ExportAccountCommand(m_dm, id);
    QApplication::restoreOverrideCursor();
}

void TfrmMain::importAccount()
{
    if (!m_dm.databaseOpen())
        return;
    int id = -1;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool ok = ImportAccountCommand(m_dm, m_lastImportFolder, &id);
    QApplication::restoreOverrideCursor();
    if (ok)
        reloadAccounts(id);
}

void TfrmMain::configure()
{
#ifdef KOVRA_HAVE_MAINTENANCE
    RunConfigure(m_dm, this);
#else
    notAvailable();
#endif
}

void TfrmMain::about()
{
#ifdef KOVRA_HAVE_ABOUT
    ShowAbout(this);
#else
    notAvailable();
#endif
}

void TfrmMain::help()
{
#ifdef KOVRA_HAVE_HELP
    OpenManual();
#else
    notAvailable();
#endif
}

void TfrmMain::changePassword()
{
#ifdef KOVRA_HAVE_CHANGEPASSWORD
    int result = QDialog::Rejected;
    {
        TfrmChangePassword dlg(m_dm, this);
        result = dlg.exec();
    }
    if (result == QDialog::Accepted)
        AnnouncePasswordChanged(m_dm);
#else
    notAvailable();
#endif
}

void TfrmMain::debugWindow()
{
    if (!Login().ServiceLogin)
        return;
#ifdef KOVRA_HAVE_DEBUG
    if (!m_debugWindow)
        m_debugWindow = new TfrmDebug(nullptr);
    m_debugWindow->show();
    m_debugWindow->raise();
    m_debugWindow->activateWindow();
#else
    notAvailable();
#endif
}

void TfrmMain::openDatabase()
{
#ifdef KOVRA_HAVE_MAINTENANCE
    RunOpenDatabase(m_dm, this);
    refreshAll();
#else
    notAvailable();
#endif
}

void TfrmMain::createDatabase()
{
#ifdef KOVRA_HAVE_MAINTENANCE
    RunCreateDatabase(m_dm, this);
    refreshAll();
#else
    notAvailable();
#endif
}

void TfrmMain::compactDatabase()
{
#ifdef KOVRA_HAVE_MAINTENANCE
    RunCompactAndRepair(m_dm, this);
    refreshAll();
#else
    notAvailable();
#endif
}

void TfrmMain::backupDatabase()
{
#ifdef KOVRA_HAVE_MAINTENANCE
    RunBackup(m_dm, this);
    refreshAll();
#else
    notAvailable();
#endif
}

void TfrmMain::restoreDatabase()
{
#ifdef KOVRA_HAVE_MAINTENANCE
    RunRestore(m_dm, this);
    refreshAll();
#else
    notAvailable();
#endif
}

void TfrmMain::exportLogs()
{
#ifdef KOVRA_HAVE_MAINTENANCE
    RunExportLogs(m_dm, this);
#else
    notAvailable();
#endif
}

void TfrmMain::outlookItem(const QString &caption)
{
    if (caption == QLatin1String("Log in") || caption == QLatin1String("Log out"))
        loginOrLogout(true);
    else if (caption.startsWith(QLatin1String("Add ")) || caption == QLatin1String("Delete All Logs"))
        addEntry();
    else if (caption.startsWith(QLatin1String("Edit ")) || caption == QLatin1String("Export Logs To Excel"))
        editEntry();
    else if (caption.startsWith(QLatin1String("Delete ")))
        deleteEntry();
    else if (caption == QLatin1String("Kovra Template"))
        kovraTemplate();
    else if (caption == QLatin1String("Kovra Programming"))
        programming();
    else if (caption == QLatin1String("Update Receivers"))
        updateReceivers();
    else if (caption == QLatin1String("Receiver Kovra Table"))
        receiverTable();
    else if (caption == QLatin1String("Change Your Password  "))
        changePassword();
}

void TfrmMain::setCurrentDatabaseLabel(const QString &path) { m_lblCurrentDatabase->setText(path); }

void TfrmMain::setDebugButtonVisible(bool visible) { m_btnDebug->setVisible(visible); }

bool TfrmMain::closeWindowsForAutoLogout()
{
    if (ConsoleBusy())
        return false;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (qobject_cast<TfrmProgress *>(w) && w->isVisible())
            return false;
    if (mode() == ModeNoDatabase)
        m_dm.setNeedsDatabase(true);
    // Questions and file dialogs first: they sit on top of the windows below.
    Dialogs().closeOpenQuestions();
    TMXMessageDialog::declineAll();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *dlg = qobject_cast<QDialog *>(w);
        if (!dlg || !dlg->isVisible() || qobject_cast<TMXMessageDialog *>(w) || qobject_cast<TfrmProgress *>(w))
            continue;
        dlg->reject();
    }
    if (m_debugWindow)
        m_debugWindow->close();
    ShowTimedInfo(QStringLiteral("Auto-Logout."), -5000);
    return true;
}

// ---- closing and placement ----------------------------------------------------

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (!QuitRequested(m_dm, mode())) {
        if (mode() != ModeUnattended)
            savePlacement();
        event->ignore();
        return;
    }
    savePlacement();
    if (m_debugWindow)
        m_debugWindow->close();
    event->accept();
    Q_EMIT closed();
}

void TfrmMain::restorePlacement()
{
    const IniFile ini(ConfigFilePath());
    const QString s = placementSection();
    if (!ini.hasKey(s, QStringLiteral("Width")))
        return;
    const int w = qMax(minimumWidth(), ini.readInteger(s, QStringLiteral("Width"), width()));
    const int h = qMax(minimumHeight(), ini.readInteger(s, QStringLiteral("Height"), height()));
    const int left = ini.readInteger(s, QStringLiteral("Left"), pos().x());
    const int top = ini.readInteger(s, QStringLiteral("Top"), pos().y());
    resize(w, h);
    // Keep the window reachable when the screen shrank since it was saved.
    QRect r(left, top, w, h);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        if (!avail.intersects(r))
            r.moveTopLeft(avail.topLeft());
    }
    move(r.topLeft());
    if (ini.readBool(s, QStringLiteral("Maximized"), false))
        setWindowState(windowState() | Qt::WindowMaximized);
}

bool TfrmMain::savePlacement()
{
    IniFile ini(ConfigFilePath());
    const QString s = placementSection();
    const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
    ini.writeInteger(s, QStringLiteral("Left"), g.x());
    ini.writeInteger(s, QStringLiteral("Top"), g.y());
    ini.writeInteger(s, QStringLiteral("Width"), g.width());
    ini.writeInteger(s, QStringLiteral("Height"), g.height());
    ini.writeBool(s, QStringLiteral("Maximized"), isMaximized());
    if (ini.save())
        return true;
    ShowTimedError(WriteErrorText(), -5000);
    return false;
}

} // namespace kovra
