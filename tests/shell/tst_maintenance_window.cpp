// The maintenance commands from the main window's menus and buttons, as an
// Administrator walks through them: configure, create a database, back it up,
// export the log, compact, restore, and the mode the window ends in.
#include "DatabaseMaintenance.h"
#include "InstallationFolder.h"
#include "LoginState.h"
#include "ScriptedDialogs.h"
#include "TfrmConfiguration.h"
#include "TfrmMain.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

using namespace kovra;

namespace {

int count(QSqlDatabase db, const QString &sql)
{
    QSqlQuery q(db);
    q.exec(sql);
    return q.next() ? q.value(0).toInt() : -1;
}

QAction *action(QWidget &w, const char *name)
{
    QAction *a = w.findChild<QAction *>(name);
    if (!a)
        qWarning("action %s not found", name);
    return a;
}

} // namespace

class TestMaintenanceWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void administratorWalkThrough();
};

void TestMaintenanceWindow::administratorWalkThrough()
{
    ScriptedDialogs dialogs;
    InstallationFolder home;
    Login().CurrentUserName = "admin01";
    Login().CurrentUserType = ModeAdministrator;
    Login().CurrentMode = ModeAdministrator;
    Login().ServiceLogin = false;
    TfrmMain w(home.db());
    QLabel *mode = w.findChild<QLabel *>("stpMode");
    QLabel *label = w.findChild<QLabel *>("lblCurrentDatabase");
    QVERIFY(mode && label);
    QCOMPARE(mode->text(), QString("Mode - Administrator"));

    // Configure: 7 minutes of auto-logout.
    QTimer::singleShot(0, [] {
        TfrmConfiguration *dlg = TfrmConfiguration::current();
        if (!dlg)
            return;
        dlg->findChild<QSpinBox *>("edtAutoLogout")->setValue(7);
        dlg->findChild<QPushButton *>("btnOK")->click();
    });
    w.findChild<QPushButton *>("btnConfig")->click();
    QCOMPARE(home.db().settings().autoLogoutTime, 420);

    // Create a database: the window shows it.
    const QString created = home.file("DB/site.kdb");
    dialogs.queueFile(created);
    action(w, "itmCreateDatabase")->trigger();
    QCOMPARE(dialogs.lastText(), QString("The new Database was created."));
    QCOMPARE(label->text(), created);
    QCOMPARE(home.db().CurrentDatabasePath(), created);
    home.addAccount("0000000001");

    // Back it up.
    dialogs.clear();
    const QString archive = home.file("DB/site.zip");
    dialogs.queueFile(archive);
    action(w, "itmBackup")->trigger();
    QCOMPARE(dialogs.texts(), QStringList({"Database Backup finished successfully."}));
    dialogs.closeTimedMessages();

    // Export the log from its page.
    dialogs.clear();
    action(w, "itmViewLogs")->trigger();
    dialogs.queueFile(home.file("Export/log.txt"));
    w.findChild<QPushButton *>("btnSaveToExcel")->click();
    QVERIFY(QFile::exists(home.file("Export/log.xls")));
    QVERIFY(dialogs.shown().isEmpty());

    // The data changes; compact, then restore the backup over it.
    home.addAccount("0000000002");
    dialogs.queueFile(created);
    dialogs.answerNo();
    action(w, "itmCompact")->trigger();
    QCOMPARE(dialogs.shown().last().caption, QString("Database Compact and Repair"));
    QCOMPARE(count(home.db().accountDatabase(), "SELECT count(*) FROM tblKovra"), 2);

    dialogs.clear();
    dialogs.answerYes();
    dialogs.queueFile(archive);
    dialogs.queueFile(home.file("DB"));
    action(w, "itmRestore")->trigger();
    QCOMPARE(dialogs.lastText(), QString("Database restored successfully.\r\nPlease log in to view the restored Database."));
    QCOMPARE(mode->text(), QString("Mode - Unattended"));
    QCOMPARE(Login().CurrentMode, int(ModeUnattended));
    QVERIFY(home.db().needsDatabase());
    QVERIFY(!ConsoleBusy());

    // What the next login will open holds the backed-up rows.
    home.db().SetCurrentDatabasePath(created);
    QVERIFY(home.db().OpenDatabase());
    QCOMPARE(count(home.db().accountDatabase(), "SELECT count(*) FROM tblKovra"), 1);
    QCOMPARE(count(home.db().userDatabase(), "SELECT count(*) FROM tblLog WHERE Event IN "
                                             "('Configuration Change', 'Database Backup', 'Database Restore')"),
             3);
}

QTEST_MAIN(TestMaintenanceWindow)
#include "tst_maintenance_window.moc"
