// The audit log: every event's texts, the user written with it, writing with
// the user database closed, and deleting entries.
#include "InstallationFolder.h"
#include "LoginState.h"
#include "TdmdMain.h"

#include <QDateTime>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QtTest>

using namespace kovra;

namespace {

struct Entry {
    QString user, event, description;
    QDateTime time;
};

QList<Entry> entries(TdmdMain &db)
{
    QList<Entry> out;
    QSqlQuery q = RunSql(db.userDatabase(),
                         "SELECT \"User\", Event, EventDescription, EventTime FROM tblLog ORDER BY Event_ID");
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                    QDateTime::fromString(q.value(3).toString(), Qt::ISODate)});
    return out;
}

// Restores the process-wide login state after each test.
struct LoginGuard {
    LoginState saved = Login();
    ~LoginGuard() { Login() = saved; }
};

} // namespace

class TestLog : public QObject {
    Q_OBJECT
private slots:
    void eventTexts_data();
    void eventTexts();
    void userIsTheCurrentLogin();
    void closedUserDatabaseWritesNothing();
    void deleteOneAndAll();
    void overlongDescriptionIsRefused();
};

void TestLog::eventTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("description");
    // X = "S1", Y = "S2" throughout.
    QTest::newRow("0") << 0 << "User Login" << "User S1 logged in";
    QTest::newRow("1") << 1 << "User Logout" << "User S1 logged out";
    QTest::newRow("2") << 2 << "User Password Change" << "User S1 changed password";
    QTest::newRow("3") << 3 << "Mode - Supervisor" << "Mode - Supervisor";
    QTest::newRow("4") << 4 << "Mode - Administrator" << "Mode - Administrator";
    QTest::newRow("5") << 5 << "Mode - User" << "Mode - User";
    QTest::newRow("6") << 6 << "Mode - Unattended" << "Mode - Unattended";
    QTest::newRow("7 unknown") << 7 << "" << "";
    QTest::newRow("8") << 8 << "Database Restore" << "Database S1 restored";
    QTest::newRow("9") << 9 << "Database Backup" << "Database S1 backed up";
    QTest::newRow("10") << 10 << "Configuration Change" << "Configuration Changed";
    QTest::newRow("11") << 11 << "Auto-Logout" << "Auto-Logout";
    QTest::newRow("12") << 12 << "New User Added" << "New User - S1 added";
    QTest::newRow("13") << 13 << "Edit User's data" << "User S1 data edited";
    QTest::newRow("14") << 14 << "User Deleted" << "User - S1 deleted";
    QTest::newRow("15") << 15 << "Application Closed" << "Application closed by operator1";
    QTest::newRow("105") << 105 << "Kovra Programming Start" << "Kovra Programming S1 started";
    QTest::newRow("106") << 106 << "Kovra Programming Finish" << "Kovra Programming S1 finished";
    QTest::newRow("107") << 107 << "Kovra Programming Failed" << "Kovra Programming S1 failed";
    QTest::newRow("108") << 108 << "Code Upload" << "Kovra S1 code uploaded";
    QTest::newRow("109") << 109 << "Kovra Account Create" << "Kovra Account S1 created";
    QTest::newRow("110") << 110 << "Kovra Account Edit" << "Kovra Account S1 edited";
    QTest::newRow("111") << 111 << "Kovra Account Delete" << "Kovra Account S1 deleted";
    QTest::newRow("112") << 112 << "IP Receiver Added" << "IP Receiver S1 added";
    QTest::newRow("113") << 113 << "IP Receiver Edited" << "IP Receiver S1 edited";
    QTest::newRow("114") << 114 << "IP Receiver Deleted" << "IP Receiver S1 deleted";
    QTest::newRow("115") << 115 << "Receiver Kovra Table Edit" << "IP Receiver S1 Kovra table edited";
    QTest::newRow("116") << 116 << "IP Receiver Update" << "IP Receiver S1 updated";
    QTest::newRow("117 unknown") << 117 << "" << "";
    QTest::newRow("118") << 118 << "Kovra Account Export" << "Kovra Account S1 exported";
    QTest::newRow("119") << 119 << "Kovra Account Import" << "Kovra Account S1 imported";
    QTest::newRow("120") << 120 << "Receiver Kovra Table Edit" << "IP Receiver S1 Kovra S2 added to the table";
    QTest::newRow("121") << 121 << "Receiver Kovra Table Edit" << "IP Receiver S1 Kovra S2 deleted from the table";
    QTest::newRow("122") << 122 << "Receiver Kovra Table Edit" << "IP Receiver S1 Kovra table set.";
    QTest::newRow("-1 unknown") << -1 << "" << "";
}

void TestLog::eventTexts()
{
    QFETCH(int, code);
    QFETCH(QString, event);
    QFETCH(QString, description);
    LoginGuard guard;
    Login().CurrentUserName = "operator1";
    InstallationFolder home(false);
    QSignalSpy changed(&home.db(), &TdmdMain::logChanged);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    home.db().WriteLogEvent(code, "S1", "S2");
    QCOMPARE(changed.count(), 1);
    const QList<Entry> log = entries(home.db());
    QCOMPARE(log.size(), 1);
    QCOMPARE(log[0].event, event);
    QCOMPARE(log[0].description, description);
    QCOMPARE(log[0].user, QString("operator1"));
    QVERIFY(log[0].time.isValid());
    QVERIFY(log[0].time >= before && log[0].time <= QDateTime::currentDateTime().addSecs(1));
}

void TestLog::userIsTheCurrentLogin()
{
    LoginGuard guard;
    Login().CurrentUserName.clear();
    InstallationFolder home(false);
    home.db().WriteLogEvent(3);                      // before anyone logged in
    Login().CurrentUserName = "Smith01";
    home.db().WriteLogEvent(0, "Smith01");
    home.db().WriteLogEvent(15, "someone else");     // names the current user, not X
    const QList<Entry> log = entries(home.db());
    QCOMPARE(log.size(), 3);
    QVERIFY(!log[0].user.isNull());
    QCOMPARE(log[0].user, QString());
    QCOMPARE(log[1].user, QString("Smith01"));
    QCOMPARE(log[2].description, QString("Application closed by Smith01"));
}

void TestLog::closedUserDatabaseWritesNothing()
{
    InstallationFolder home;
    home.db().CloseDatabase();
    QSignalSpy changed(&home.db(), &TdmdMain::logChanged);
    home.db().WriteLogEvent(0, "x");   // neither written nor raised
    QCOMPARE(changed.count(), 0);
    QVERIFY(home.db().OpenUserDatabase());
    QCOMPARE(home.rowCount("tblLog"), 0);
}

void TestLog::deleteOneAndAll()
{
    InstallationFolder home(false);
    for (int i = 0; i < 3; ++i)
        home.db().WriteLogEvent(108, QString::number(i));
    QSqlQuery q = RunSql(home.db().userDatabase(), "SELECT Event_ID FROM tblLog ORDER BY Event_ID");
    QVERIFY(q.next() && q.next());
    const int middle = q.value(0).toInt();
    q.finish();
    QSignalSpy changed(&home.db(), &TdmdMain::logChanged);
    home.db().DeleteLogEntry(middle);
    QCOMPARE(changed.count(), 1);
    QStringList left;
    for (const Entry &e : entries(home.db()))
        left << e.description;
    QCOMPARE(left, (QStringList{"Kovra 0 code uploaded", "Kovra 2 code uploaded"}));
    home.db().DeleteAllLogEntries();
    QCOMPARE(home.db().LogCount(), 0);
    // The log goes on afterwards with new numbers.
    home.db().WriteLogEvent(10);
    QCOMPARE(home.db().LogCount(), 1);
    QSqlQuery id = RunSql(home.db().userDatabase(), "SELECT Event_ID FROM tblLog");
    QVERIFY(id.next() && id.value(0).toInt() > middle + 1);
}

void TestLog::overlongDescriptionIsRefused()
{
    // The engine refuses a text over the column width; the caller sees the error.
    InstallationFolder home(false);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, home.db().WriteLogEvent(8, QString(250, 'p')));
    QCOMPARE(home.db().LogCount(), 0);
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
