// The main window's lists: counters, searches, sorting, the Add/Edit/Delete
// dispatchers with their questions and audit events, account export and import.
#include "DatabaseMaintenance.h"
#include "ExchangeFiles.h"
#include "InstallationFolder.h"
#include "KovraHome.h"
#include "LoginFlow.h"
#include "LoginState.h"
#include "MainWindowOps.h"
#include "Schema.h"
#include "ScriptedDialogs.h"
#include "TMXDBGrid.h"
#include "TfrmMain.h"
#include "TMXMessageDialog.h"
#include "TWidgetDialogBackend.h"
#include "TfrmSelectProgramming.h"
#include "TfrmChangePassword.h"
#include "UserStore.h"

#include <QAction>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QtTest>

using namespace kovra;

namespace {

void loginAs(int type, const QString &name = "admin01")
{
    LoginState &s = Login();
    s.CurrentUserName = name;
    s.CurrentUserType = type;
    s.CurrentMode = type;
    s.ServiceLogin = false;
}

int count(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q(db);
    q.exec(sql);
    q.next();
    return q.value(0).toInt();
}

int events(InstallationFolder &home, const QString &event, const QString &description = QString())
{
    QSqlQuery q(home.db().userDatabase());
    q.prepare("SELECT count(*) FROM tblLog WHERE Event = ? AND (? = '' OR EventDescription = ?)");
    q.addBindValue(event);
    q.addBindValue(description);
    q.addBindValue(description);
    q.exec();
    q.next();
    return q.value(0).toInt();
}

void addReceiver(InstallationFolder &home, const QString &ip, const QString &name)
{
    RunSql(home.db().accountDatabase(),
           "INSERT INTO tblReceiver (ReceiverIP, ReceiverName, ReceiverType, ReceiverDescription, ReceiverPassword, "
           "ReceiverPort) VALUES (?, ?, 1, '', 'B7D2', 3064)",
           {ip, name});
}

QStringList column(TMXDBGrid *g, const QString &field)
{
    QStringList out;
    for (int r = 0; r < g->rowCount(); ++r)
        out << g->value(r, field).toString();
    return out;
}

QString label(TfrmMain &w, const char *name) { return w.findChild<QLabel *>(name)->text(); }
QPushButton *button(TfrmMain &w, const char *name) { return w.findChild<QPushButton *>(name); }

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void entryCounterText_data();
    void entryCounterText();
    void countersFollowTheLists();
    void changePasswordCommand_data();
    void changePasswordCommand();
    void sortRules_data();
    void sortRules();
    void sortingByColumnTitle();
    void accountSearch_data();
    void accountSearch();
    void receiverSearchIgnoresCase();
    void userSearchStaysWhenNothingMatches();
    void deleteFlows_data();
    void deleteFlows();
    void deleteAllLogs();
    void emptyListAsksNothing();
    void editWithoutDatabase();
    void laterWindowsShowNotice();
    void exportAndImportAccount();
    void exportFailureAndCancel();
    void selectProgrammingWindow();
    void statusAddressText_data();
    void statusAddressText();
    void autoLogoutClosesWindowsAndQuestions();
    void autoLogoutWaitsForLongCommands();

private:
    TerminationRequest m_previousTermination;
};

void TestMainWindow::init() { m_previousTermination = SetTerminationRequest([] {}); }

void TestMainWindow::cleanup()
{
    SetTerminationRequest(m_previousTermination);
    Login() = LoginState();
}

void TestMainWindow::entryCounterText_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << 0 << 0 << "No Entries";
    QTest::newRow("one") << 1 << 1 << "Entry 1 of 1 entry.";
    QTest::newRow("many") << 2 << 7 << "Entry 2 of 7 entries.";
    QTest::newRow("appending to empty") << 1 << 0 << "New Record";
    QTest::newRow("appending") << 8 << 7 << "New Record";
    QTest::newRow("last of two") << 2 << 2 << "Entry 2 of 2 entries.";
}

void TestMainWindow::entryCounterText()
{
    QFETCH(int, current);
    QFETCH(int, rows);
    QTEST(EntryCounter(current, rows), "text");
}

void TestMainWindow::changePasswordCommand_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("saved") << true;
    QTest::newRow("cancelled") << false;
}

// File > Change Password: a saved change is logged and confirmed; a cancelled one leaves no trace.
void TestMainWindow::changePasswordCommand()
{
    QFETCH(bool, save);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    UserRecord u;
    u.UserLoginName = "admin01";
    u.UserFirstName = "Ann";
    u.UserLastName = "Admin";
    u.password = "Secret#123";
    u.UserType = ModeAdministrator;
    u.UserExpireDate = QDate::currentDate().addDays(30);
    home.db().AddUser(u);
    loginAs(ModeAdministrator, "admin01");
    Login().CurrentUserPassword = EncryptPassword("admin01", "Secret#123");
    TfrmMain w(home.db());

    bool opened = false;
    QTimer::singleShot(0, [&] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            auto *dlg = qobject_cast<TfrmChangePassword *>(top);
            if (!dlg || !dlg->isVisible())
                continue;
            opened = true;
            if (!save) {
                dlg->findChild<QPushButton *>("btnCancel")->click();
                return;
            }
            QTest::keyClicks(dlg->findChild<QLineEdit *>("edtOldPassword"), "Secret#123");
            QTest::keyClicks(dlg->findChild<QLineEdit *>("edtPassword"), "Better#456");
            QTest::keyClicks(dlg->findChild<QLineEdit *>("edtVerifyPassword"), "Better#456");
            dlg->findChild<QPushButton *>("btnOK")->click();
        }
    });
    w.findChild<QAction *>("itmChangePassword")->trigger();

    QVERIFY(opened);
    QCOMPARE(events(home, "User Password Change", "User admin01 changed password"), save ? 1 : 0);
    QCOMPARE(dialogs.texts().contains("Your Password has been changed succesfully."), save);
    QCOMPARE(home.db().LookupUser("admin01", StoredPassword("admin01", save ? "Better#456" : "Secret#123")),
             int(ModeAdministrator));
}

void TestMainWindow::countersFollowTheLists()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    QCOMPARE(label(w, "lblKovraCurrentEntry"), QString("No Entries"));
    QCOMPARE(label(w, "lblReceiverCurrentEntry"), QString("No Entries"));
    QCOMPARE(label(w, "lblLogCurrentEntry"), QString("Entry 1 of 1 entry."));   // the mode's event

    home.addAccount("0000000001");
    QCOMPARE(label(w, "lblKovraCurrentEntry"), QString("Entry 1 of 1 entry."));
    home.addAccount("0000000002");
    home.addAccount("0000000003");
    auto *grid = w.findChild<TMXDBGrid *>("dbgKovra");
    grid->setCurrentRow(2);
    QCOMPARE(label(w, "lblKovraCurrentEntry"), QString("Entry 3 of 3 entries."));
    QCOMPARE(w.findChild<QLineEdit *>("dbeReceiver1")->text(), grid->currentValue("Receiver1").toString());
}

void TestMainWindow::sortRules_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QString>("orderBy");
    QTest::newRow("none") << QStringList() << 3 << "" << "Kovra_ID";
    QTest::newRow("first click keeps ascending") << QStringList{"KovraAccount"} << 3 << "KovraAccount "
                                                 << "KovraAccount ASC, Kovra_ID";
    QTest::newRow("same column flips") << QStringList{"KovraAccount", "KovraAccount"} << 3 << "KovraAccount DESC"
                                       << "KovraAccount DESC, Kovra_ID";
    QTest::newRow("flips back") << QStringList{"KovraIP", "KovraIP", "KovraIP"} << 3 << "KovraIP ASC"
                                << "KovraIP ASC, Kovra_ID";
    QTest::newRow("other column keeps direction") << QStringList{"KovraKey", "KovraKey", "KovraAccount"} << 3
                                                  << "KovraAccount DESC" << "KovraAccount DESC, Kovra_ID";
    QTest::newRow("one row ignored") << QStringList{"KovraAccount"} << 1 << "" << "Kovra_ID";
    QTest::newRow("empty table sorts") << QStringList{"KovraKey"} << 0 << "KovraKey " << "KovraKey ASC, Kovra_ID";
    QTest::newRow("unknown field refused") << QStringList{"Kovra_ID; DROP TABLE tblKovra"} << 3 << "" << "Kovra_ID";
    QTest::newRow("hidden field refused") << QStringList{"Receiver1"} << 3 << "" << "Kovra_ID";
}

void TestMainWindow::sortRules()
{
    QFETCH(QStringList, clicks);
    QFETCH(int, rows);
    AccountSort sort;
    for (const QString &c : clicks)
        sort.click(c, rows);
    QTEST(sort.sortText(), "sort");
    QTEST(sort.orderBy(), "orderBy");
}

void TestMainWindow::sortingByColumnTitle()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int a3 = home.addAccount("0000000003");
    const int a1 = home.addAccount("0000000001");
    const int a2 = home.addAccount("0000000002");
    QSqlDatabase db = home.db().accountDatabase();
    RunSql(db, "UPDATE tblKovra SET KovraIP = '10.0.0.1' WHERE Kovra_ID = ?", {a3});
    RunSql(db, "UPDATE tblKovra SET KovraIP = '10.0.0.3' WHERE Kovra_ID = ?", {a1});
    RunSql(db, "UPDATE tblKovra SET KovraIP = '10.0.0.2' WHERE Kovra_ID = ?", {a2});
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    w.show();
    auto *grid = w.findChild<TMXDBGrid *>("dbgKovra");
    QHeaderView *h = grid->horizontalHeader();
    auto clickTitle = [&](int position) {
        const int logical = grid->columnAtPosition(position);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(logical) + 5, 5));
    };
    QCOMPARE(column(grid, "KovraAccount"), (QStringList{"0000000003", "0000000001", "0000000002"}));
    grid->setCurrentRow(2);   // 0000000002 stays current through the sorts
    clickTitle(0);
    QCOMPARE(column(grid, "KovraAccount"), (QStringList{"0000000001", "0000000002", "0000000003"}));
    QCOMPARE(grid->currentValue("KovraAccount").toString(), QString("0000000002"));
    clickTitle(0);
    QCOMPARE(column(grid, "KovraAccount"), (QStringList{"0000000003", "0000000002", "0000000001"}));
    clickTitle(1);   // IP Address, still descending
    QCOMPARE(column(grid, "KovraIP"), (QStringList{"10.0.0.3", "10.0.0.2", "10.0.0.1"}));
    QCOMPARE(grid->currentValue("KovraAccount").toString(), QString("0000000002"));
}

void TestMainWindow::accountSearch_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("current");
    QTest::newRow("lower case hex") << "12ab" << "12AB" << "12AB340000";
    QTest::newRow("refused characters") << "12xab-" << "12AB" << "12AB340000";
    QTest::newRow("first of several") << "12" << "12" << "12AA000000";
    QTest::newRow("no match stays") << "9" << "9" << "0000000001";
    QTest::newRow("ten digits at most") << "12AB3500001" << "12AB350000" << "12AB350000";
}

void TestMainWindow::accountSearch()
{
    QFETCH(QString, typed);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    for (const char *n : {"0000000001", "12AA000000", "12AB340000", "12AB350000"})
        home.addAccount(n);
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    auto *edit = w.findChild<QLineEdit *>("edtAccountNumber");
    QTest::keyClicks(edit, typed);
    QTEST(edit->text(), "shown");
    QTEST(w.findChild<TMXDBGrid *>("dbgKovra")->currentValue("KovraAccount").toString(), "current");
}

void TestMainWindow::receiverSearchIgnoresCase()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    addReceiver(home, "10.0.0.1", "First");
    addReceiver(home, "192.168.1.7", "Second");
    addReceiver(home, "192.168.2.1", "Third");
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    w.showPage("tbsReceiver");
    auto *grid = w.findChild<TMXDBGrid *>("dbgReceiver");
    QCOMPARE(label(w, "lblReceiverCurrentEntry"), QString("Entry 1 of 3 entries."));
    QTest::keyClicks(w.findChild<QLineEdit *>("edtReceiverIPAddress"), "192.168.2");
    QCOMPARE(grid->currentValue("ReceiverName").toString(), QString("Third"));
    QCOMPARE(label(w, "lblReceiverCurrentEntry"), QString("Entry 3 of 3 entries."));
    QCOMPARE(w.findChild<QLineEdit *>("dbeReceiverPassword")->text(), QString("B7D2"));

    // The description is edited in place; Enter does not break it into lines.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *memo = w.findChild<QPlainTextEdit *>("DBMemo1");
    QVERIFY(memo->isEnabled());
    memo->setFocus();
    QTest::keyClicks(memo, "Roof");
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, " unit");
    w.findChild<QLineEdit *>("edtReceiverIPAddress")->setFocus();   // leaving the box saves it
    QSqlQuery q(home.db().accountDatabase());
    q.exec("SELECT ReceiverDescription FROM tblReceiver WHERE ReceiverName = 'Third'");
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toString(), QString("Roof unit"));
    QCOMPARE(grid->currentValue("ReceiverName").toString(), QString("Third"));
}

void TestMainWindow::userSearchStaysWhenNothingMatches()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const QDate later = QDate::currentDate().addDays(30);
    home.db().AddUser({"alpha001", "Al", "Zulu", "password1", 3, later});
    home.db().AddUser({"JOHNNY01", "John", "Jones", "password1", 3, later});
    home.db().AddUser({"joanna01", "Joanna", "jordan", "password1", 3, later});
    home.db().AddUser({"bravo001", "Bo", "Brown", "password1", 3, later});
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    w.showPage("tbsManageUsers");
    auto *grid = w.findChild<TMXDBGrid *>("dbgUser");
    auto *login = w.findChild<QLineEdit *>("edtLoginName");
    auto *last = w.findChild<QLineEdit *>("edtLastName");
    QCOMPARE(login->contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(login->maxLength(), 30);
    const int alpha = column(grid, "UserLoginName").indexOf("alpha001");
    grid->setCurrentRow(alpha);

    login->setText("Jo");   // only JO.. and jo.. exist: compared with case, nothing matches
    QCOMPARE(grid->currentValue("UserLoginName").toString(), QString("alpha001"));
    login->setText("jo");
    QCOMPARE(grid->currentValue("UserLoginName").toString(), QString("joanna01"));
    login->setText("JO");
    QCOMPARE(grid->currentValue("UserLoginName").toString(), QString("JOHNNY01"));
    last->setText("Br");
    QCOMPARE(grid->currentValue("UserLoginName").toString(), QString("bravo001"));
    last->setText("jor");
    QCOMPARE(grid->currentValue("UserLoginName").toString(), QString("joanna01"));
    last->setText("Jor");   // no "Jor..." last name: stays
    QCOMPARE(grid->currentValue("UserLoginName").toString(), QString("joanna01"));
}

void TestMainWindow::deleteFlows_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("source");   // button or pop-up entry or outlook item
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("countSql");
    QTest::addColumn<int>("left");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("description");

    const QString accounts = "SELECT count(*) FROM tblKovra";
    const QString options = "SELECT count(*) FROM tblKovraOptions WHERE Kovra_ID NOT IN (SELECT Kovra_ID FROM tblKovra)";
    QTest::newRow("account yes") << "tbsKovra" << "btnKovraDelete" << true << accounts << 1 << "Kovra Account Delete"
                                 << "Kovra Account 0000000001 deleted";
    QTest::newRow("account no") << "tbsKovra" << "btnKovraDelete" << false << accounts << 2 << "Kovra Account Delete" << "";
    QTest::newRow("account outlook") << "tbsKovra" << "outlook:Delete Account" << true << accounts << 1
                                     << "Kovra Account Delete" << "Kovra Account 0000000001 deleted";
    QTest::newRow("account options go too") << "tbsKovra" << "popDeleteKovra" << true << options << 0
                                            << "Kovra Account Delete" << "Kovra Account 0000000001 deleted";
    QTest::newRow("receiver yes") << "tbsReceiver" << "btnReceiverDelete" << true << "SELECT count(*) FROM tblReceiver"
                                  << 1 << "IP Receiver Deleted" << "IP Receiver 10.0.0.9 deleted";
    QTest::newRow("receiver no") << "tbsReceiver" << "popDeleteReceiver" << false << "SELECT count(*) FROM tblReceiver"
                                 << 2 << "IP Receiver Deleted" << "";
    QTest::newRow("user yes") << "tbsManageUsers" << "btnUserDelete" << true << "users:SELECT count(*) FROM tblUser"
                              << 1 << "User Deleted" << "User - aaron001 deleted";
    QTest::newRow("user no") << "tbsManageUsers" << "outlook:Delete User" << false
                             << "users:SELECT count(*) FROM tblUser" << 2 << "User Deleted" << "";
}

void TestMainWindow::deleteFlows()
{
    QFETCH(QString, page);
    QFETCH(QString, source);
    QFETCH(bool, yes);
    QFETCH(QString, countSql);
    QFETCH(QString, event);
    QFETCH(QString, description);
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.addAccount("0000000001");
    home.addAccount("0000000002");
    addReceiver(home, "10.0.0.9", "Nine");
    addReceiver(home, "10.0.0.8", "Eight");
    home.db().AddUser({"aaron001", "Aaron", "A", "password1", 3, QDate::currentDate().addDays(9)});
    home.db().AddUser({"zed00001", "Zed", "Z", "password1", 3, QDate::currentDate().addDays(9)});
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    w.showPage(page);
    if (yes)
        dialogs.answerYes();
    else
        dialogs.answerNo();
    if (source.startsWith("outlook:"))
        w.outlookItem(source.mid(8));
    else if (auto *b = w.findChild<QPushButton *>(source))
        b->click();
    else
        w.action(source)->trigger();

    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.lastText(), QString("Are you sure you want to delete the entry?"));
    QCOMPARE(dialogs.shown().last().caption, QString("Confirmation"));
    QCOMPARE(dialogs.shown().last().kind, MessageKind::YesNo);
    const bool users = countSql.startsWith("users:");
    QTEST(count(users ? home.db().userDatabase() : home.db().accountDatabase(), users ? countSql.mid(6) : countSql), "left");
    QCOMPARE(events(home, event, description), yes ? 1 : 0);
}

void TestMainWindow::deleteAllLogs()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    home.db().WriteLogEvent(10);
    w.showPage("tbsLogs");
    QCOMPARE(label(w, "lblLogCurrentEntry"), QString("Entry 1 of 2 entries."));
    QVERIFY(w.findChild<QWidget *>("DBMemo2")->isEnabled());

    dialogs.answerNo();
    button(w, "btnLogDeleteAll")->click();
    QCOMPARE(dialogs.lastText(), QString("Are you sure you want to delete all entries?"));
    QCOMPARE(home.rowCount("tblLog"), 2);

    dialogs.answerYes();
    w.action("popDeleteLog")->trigger();   // one entry
    QCOMPARE(home.rowCount("tblLog"), 1);
    QCOMPARE(label(w, "lblLogCurrentEntry"), QString("Entry 1 of 1 entry."));

    dialogs.answerYes();
    w.outlookItem("Delete All Logs");
    QCOMPARE(home.rowCount("tblLog"), 0);
    QCOMPARE(label(w, "lblLogCurrentEntry"), QString("No Entries"));
    QVERIFY(!w.findChild<QWidget *>("DBMemo2")->isEnabled());
    // Nothing left: nothing asked.
    const int asked = dialogs.shown().size();
    button(w, "btnLogDeleteAll")->click();
    QCOMPARE(dialogs.shown().size(), asked);
    QVERIFY(!dialogs.unansweredQuestion());
}

void TestMainWindow::emptyListAsksNothing()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    button(w, "btnKovraDelete")->click();
    w.outlookItem("Delete Account");
    w.showPage("tbsReceiver");
    button(w, "btnReceiverDelete")->click();
    QVERIFY(dialogs.shown().isEmpty());
    // In mode User the log cannot be deleted at all.
    loginAs(ModeUser);
    w.applyLoginMode();
    w.showPage("tbsLogs");
    w.deleteEntry();
    w.addEntry();
    QVERIFY(dialogs.shown().isEmpty());
    QVERIFY(home.rowCount("tblLog") > 0);
}

void TestMainWindow::editWithoutDatabase()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    QCOMPARE(w.currentPageName(), QString("tbsKovra"));
    button(w, "btnKovraEdit")->click();
    QCOMPARE(dialogs.lastText(), QString("No Database Loaded."));
    QCOMPARE(dialogs.shown().last().caption, QString("Error"));
    dialogs.closeTimedMessages();
    w.showPage("tbsReceiver");
    w.outlookItem("Edit Receiver");
    QCOMPARE(dialogs.shown().size(), 2);
    QCOMPARE(dialogs.lastText(), QString("No Database Loaded."));
}

void TestMainWindow::laterWindowsShowNotice()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.addAccount("0000000001");
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    const QStringList sources{"btnKovraAdd", "btnKovraEdit", "btnKovraOptions", "btnRemoteProgram", "btnUpdateReceivers"};
    for (const QString &s : sources) {
        dialogs.clear();
        button(w, qPrintable(s))->click();
        QCOMPARE(dialogs.texts(), QStringList{"Not available in this version."});
        QCOMPARE(dialogs.shown().first().lifetimeMs, 5000);
        QCOMPARE(dialogs.shown().first().caption, QString("Information"));
        dialogs.closeTimedMessages();
    }
    // Another click while the notice is still up does not stack a second one.
    dialogs.clear();
    button(w, "btnKovraAdd")->click();
    button(w, "btnKovraAdd")->click();
    QCOMPARE(dialogs.shown().size(), 1);
}

void TestMainWindow::exportAndImportAccount()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    const int id = home.addAccount("12AB340000");
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    const QString file = home.file("Export/saved.kva");
    dialogs.queueFile(file);
    w.action("itmExportAccount")->trigger();
    QCOMPARE(dialogs.fileRequests().size(), 1);
    const FileDialogRequest r = dialogs.fileRequests().first();
    QCOMPARE(r.title, QString("Export Kovra Account"));
    QCOMPARE(r.filter, QString("Kovra Account Files (*.kva)|*.kva"));
    QCOMPARE(QDir(r.folder).canonicalPath(), QDir(home.file("Export")).canonicalPath());
    QCOMPARE(r.fileName, "KovraAccount_12AB340000__" + QDate::currentDate().toString("yyMMdd") + ".kva");
    QVERIFY(QFile::exists(file));
    QCOMPARE(dialogs.lastText(), QString("Account information exported successfully."));
    QCOMPARE(events(home, "Kovra Account Export", "Kovra Account 12AB340000 exported"), 1);
    QCOMPARE(dialogs.progressTexts().size(), 1);   // behind the progress window
    QVERIFY(!ConsoleBusy());

    home.db().DeleteAccount(id);
    QCOMPARE(label(w, "lblKovraCurrentEntry"), QString("No Entries"));
    dialogs.queueFile(file);
    w.action("popImportAccount")->trigger();
    const FileDialogRequest ri = dialogs.fileRequests().last();
    QCOMPARE(ri.title, QString("Import Kovra Account"));
    QCOMPARE(QDir(ri.folder).canonicalPath(), QDir(home.file("Import")).canonicalPath());
    QCOMPARE(dialogs.lastText(), QString("Kovra Account has been imported successfully."));
    QCOMPARE(events(home, "Kovra Account Import", "Kovra Account 12AB340000 imported"), 1);
    QCOMPARE(w.findChild<TMXDBGrid *>("dbgKovra")->currentValue("KovraAccount").toString(), QString("12AB340000"));
    QCOMPARE(label(w, "lblKovraCurrentEntry"), QString("Entry 1 of 1 entry."));

    // The next import starts in the folder chosen last.
    dialogs.queueFile(QString());
    w.importAccount();
    QCOMPARE(QDir(dialogs.fileRequests().last().folder).canonicalPath(), QDir(home.file("Export")).canonicalPath());
    QVERIFY(!ConsoleBusy());
}

void TestMainWindow::exportFailureAndCancel()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    home.addAccount("0000000001");
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    dialogs.queueFile(QString());   // cancelled: nothing happens
    w.exportAccount();
    QVERIFY(dialogs.shown().isEmpty());
    dialogs.queueFile(home.file("no/such/folder/x.kva"));
    w.exportAccount();
    QCOMPARE(dialogs.lastText(), QString("Exporting the Kovra Account has failed."));
    QCOMPARE(dialogs.shown().last().caption, QString("Error"));
    QCOMPARE(events(home, "Kovra Account Export"), 0);
    QVERIFY(!ConsoleBusy());
}

void TestMainWindow::selectProgrammingWindow()
{
    TfrmSelectProgramming f;
    QCOMPARE(f.windowTitle(), QString("Kovra Console | Select Programming"));
    QCOMPARE(f.findChild<QLabel *>("lblQuestion")->text(),
             QString("\nYou have made changes to the Kovra Account. Would you like \nto perform programming of the Kovra?"));
    QCOMPARE(f.findChild<QPushButton *>("btnProgramming")->text(), QString("Kovra P&rogramming"));
    QCOMPARE(f.findChild<QPushButton *>("btnCancel")->text(), QString("&Cancel"));
    QTimer::singleShot(0, &f, [&f] { f.findChild<QPushButton *>("btnProgramming")->click(); });
    QCOMPARE(f.exec(), int(QDialog::Accepted));
    QTimer::singleShot(0, &f, [&f] { f.findChild<QPushButton *>("btnCancel")->click(); });
    QCOMPARE(f.exec(), int(QDialog::Rejected));
}

void TestMainWindow::statusAddressText_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << QStringList() << "Local IP - ";
    QTest::newRow("one") << QStringList{"192.168.1.5"} << "Local IP - 192.168.1.5";
    QTest::newRow("two") << QStringList{"192.168.1.5", "10.0.0.2"} << "Local IP - 192.168.1.5,10.0.0.2";
    QTest::newRow("three show two") << QStringList{"1.1.1.1", "2.2.2.2", "3.3.3.3"} << "Local IP - 1.1.1.1,2.2.2.2";
}

void TestMainWindow::statusAddressText()
{
    QFETCH(QStringList, addresses);
    QTEST(LocalAddressText(addresses), "text");
}

void TestMainWindow::autoLogoutClosesWindowsAndQuestions()
{
    // Real dialogs here: the auto-logout must close what is on screen.
    TWidgetDialogBackend widgets;
    DialogBackend *previous = SetDialogBackend(&widgets);
    ResetLastTimedMessage();
    InstallationFolder home;
    loginAs(ModeAdministrator);
    TfrmMain w(home.db());
    w.showPage("tbsManageUsers");
    bool declined = false, cleared = false;
    QStringList openDuring;
    QTimer::singleShot(0, [&] {   // inside the user editor
        QTimer::singleShot(0, [&] {   // inside a question on top of it
            for (QWidget *t : QApplication::topLevelWidgets())
                if (t->isVisible() && qobject_cast<QDialog *>(t))
                    openDuring << t->windowTitle();
            cleared = w.closeWindowsForAutoLogout();
        });
        declined = AskQuestion("Confirmation", "Do you really want to log out?", MessageKind::YesNo);
    });
    w.addEntry();   // returns once the editor is closed
    openDuring.sort();
    QCOMPARE(openDuring, (QStringList{"Kovra Console | Confirmation", "Kovra Console | User Management"}));
    QVERIFY(cleared);
    QVERIFY(declined);   // answered No
    QCOMPARE(LastTimedMessage(), QString("Auto-Logout."));
    const auto open = TMXMessageDialog::openDialogs();
    QCOMPARE(open.size(), 1);
    QCOMPARE(open.first()->text(), QString("Auto-Logout."));
    QVERIFY(open.first()->isTimed());
    QCOMPARE(home.rowCount("tblUser"), 0);   // the editor saved nothing
    open.first()->deleteLater();
    SetDialogBackend(previous);
}

void TestMainWindow::autoLogoutWaitsForLongCommands()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    loginAs(ModeNoDatabase);
    TfrmMain w(home.db());
    home.db().setNeedsDatabase(false);
    {
        ConsoleBusyScope busy;
        QVERIFY(!w.closeWindowsForAutoLogout());
        QVERIFY(dialogs.shown().isEmpty());
    }
    {
        TWidgetDialogBackend widgets;   // a real progress window on screen
        DialogBackend *previous = SetDialogBackend(&widgets);
        {
            ProgressScope shown("Backing up ...", true);
            QVERIFY(!w.closeWindowsForAutoLogout());
        }
        SetDialogBackend(previous);
    }
    QVERIFY(w.closeWindowsForAutoLogout());
    // In mode No Database the next login must ask for a database again.
    QVERIFY(home.db().needsDatabase());
    QCOMPARE(dialogs.texts(), QStringList{"Auto-Logout."});
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
