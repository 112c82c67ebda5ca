// The configuration dialog: what it shows for the stored settings, what OK
// writes to KOVRACONSOLE.INI, and what stays in force when writing fails.
#include "AutoLogout.h"
#include "ConfigurationOps.h"
#include "InstallationFolder.h"
#include "LoginState.h"
#include "MainWindowHooks.h"
#include "ScriptedDialogs.h"
#include "TfrmConfiguration.h"

#include <QtTest>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlQuery>
#include <QTabWidget>

using namespace kovra;

namespace {

void writeText(const QString &path, const QByteArray &text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QByteArray readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// "KEY=value" lines of one section, in file order.
QStringList sectionLines(const QString &path, const QString &section)
{
    QStringList out;
    bool inside = false;
    for (const QByteArray &raw : readText(path).split('\n')) {
        const QString line = QString::fromLatin1(raw).trimmed();
        if (line.startsWith('[')) {
            inside = line.compare("[" + section + "]", Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inside && !line.isEmpty())
            out.append(line);
    }
    return out;
}

QStringList sectionNames(const QString &path)
{
    QStringList out;
    for (const QByteArray &raw : readText(path).split('\n')) {
        const QString line = QString::fromLatin1(raw).trimmed();
        if (line.startsWith('['))
            out.append(line.mid(1, line.size() - 2));
    }
    return out;
}

int configEvents(TdmdMain &dm)
{
    QSqlQuery q(dm.userDatabase());
    q.exec("SELECT count(*) FROM tblLog WHERE Event = 'Configuration Change' "
           "AND EventDescription = 'Configuration Changed'");
    return q.next() ? q.value(0).toInt() : -1;
}

class FakeMainWindow : public MainWindowHooks {
public:
    FakeMainWindow() { SetMainWindowHooks(this); }
    ~FakeMainWindow() override { SetMainWindowHooks(nullptr); }
    int mode() const override { return ModeAdministrator; }
    void setMode(int) override {}
    void applyLoginMode() override {}
    void logOut(bool) override {}
    bool closeWindowsForAutoLogout() override { return true; }
    void setCurrentDatabaseLabel(const QString &) override {}
    void setDebugButtonVisible(bool) override {}
    void refreshAll() override {}
};

template <typename T> T *control(QWidget &w, const char *name)
{
    T *c = w.findChild<T *>(name);
    if (!c)
        qWarning("control %s not found", name);
    return c;
}

} // namespace

class TestConfig : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { ResetLastTimedMessage(); Login().CurrentUserName = "admin"; }

    void autoLogoutShownInMinutesSavedInSeconds_data();
    void autoLogoutShownInMinutesSavedInSeconds();
    void okWithNothingChangedRewritesEveryKey();
    void okErasesGridSectionsOnly();
    void writeFailureKeepsNewValuesInForce();
    void cancelChangesNothing();
    void baudCodes_data();
    void baudCodes();
    void windowLayout();
};

void TestConfig::autoLogoutShownInMinutesSavedInSeconds_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("chosen");   // 0: left as shown
    QTest::addColumn<int>("saved");
    QTest::newRow("180 s is 3 min") << 180 << 3 << 0 << 180;
    QTest::newRow("150 s shows 2 min, saves 120") << 150 << 2 << 0 << 120;
    QTest::newRow("7 min chosen") << 180 << 3 << 7 << 420;
    QTest::newRow("below the range") << 30 << 1 << 0 << 60;
    QTest::newRow("above the range") << 3600 << 20 << 0 << 1200;
}

void TestConfig::autoLogoutShownInMinutesSavedInSeconds()
{
    QFETCH(int, stored);
    QFETCH(int, shown);
    QFETCH(int, chosen);
    QFETCH(int, saved);
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    writeText(home.file("KOVRACONSOLE.INI"),
              QString("[Config]\r\nAUTOLOGOUTTIME=%1\r\nAUTOLOGOUT=0\r\n").arg(stored).toLatin1());
    home.reopen(false);
    TfrmConfiguration dlg(home.db());
    QSpinBox *minutes = control<QSpinBox>(dlg, "edtAutoLogout");
    QVERIFY(minutes);
    QCOMPARE(minutes->value(), shown);
    if (chosen)
        minutes->setValue(chosen);
    control<QPushButton>(dlg, "btnOK")->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(sectionLines(home.file("KOVRACONSOLE.INI"), "Config").contains(QString("AUTOLOGOUTTIME=%1").arg(saved)));
    QCOMPARE(home.db().settings().autoLogoutTime, saved);
    QVERIFY(dialogs.shown().isEmpty());
}

void TestConfig::okWithNothingChangedRewritesEveryKey()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    const QString ini = home.file("KOVRACONSOLE.INI");
    // Only the server keys are in the file: the dialog's keys come from the defaults.
    writeText(ini, "[Config]\r\nTCPSERVERPORT=4000\r\nTCPSERVER=0\r\n");
    home.reopen(false);
    const int before = configEvents(home.db());
    {
        TfrmConfiguration dlg(home.db());
        control<QPushButton>(dlg, "btnOK")->click();
    }
    QCOMPARE(sectionLines(ini, "Config"),
             QStringList({"TCPSERVERPORT=4000", "TCPSERVER=0", "AUTOLOGOUTTIME=180", "AUTOLOGOUT=1",
                          "NOPASSWORDEXPIRE=0", "VALIDITY=90", "COMPORTPORT=COM1", "COMPORTBAUDS=7",
                          "COMPORTCUSTOMBAUDS=9600", "COMPORTDATABITS=3"}));
    QCOMPARE(configEvents(home.db()), before + 1);

    // Values the controls cannot show are written back unchanged.
    writeText(ini, "[Config]\r\nCOMPORTPORT=/dev/ttyKOVRA9\r\nCOMPORTBAUDS=0\r\nCOMPORTCUSTOMBAUDS=250000\r\n"
                   "COMPORTDATABITS=9\r\nVALIDITY=365\r\nNOPASSWORDEXPIRE=1\r\nAUTOLOGOUT=0\r\n");
    home.reopen(false);
    {
        TfrmConfiguration dlg(home.db());
        control<QPushButton>(dlg, "btnOK")->click();
    }
    const QStringList lines = sectionLines(ini, "Config");
    for (const char *kept : {"COMPORTPORT=/dev/ttyKOVRA9", "COMPORTBAUDS=0", "COMPORTCUSTOMBAUDS=250000",
                             "COMPORTDATABITS=9", "NOPASSWORDEXPIRE=1", "AUTOLOGOUT=0"})
        QVERIFY2(lines.contains(kept), kept);
    QVERIFY(lines.contains("VALIDITY=180"));   // the box's highest value
    QCOMPARE(configEvents(home.db()), before + 2);
}

void TestConfig::okErasesGridSectionsOnly()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    const QString ini = home.file("KOVRACONSOLE.INI");
    writeText(ini, "[Config]\r\nVALIDITY=30\r\n"
                   "[TfrmKovraLocalProgramdbgKovra]\r\nCol0=1\r\n"
                   "[TfrmKovraRemoteProgramdbgKovra]\r\nCol0=2\r\n"
                   "[Options File VPTEMP]\r\n0=/tmp/KOVRA5.HEX\r\n"
                   "[tfrmreceiverkovratabledbgkovra]\r\nCol0=3\r\n");
    home.reopen(false);
    TfrmConfiguration dlg(home.db());
    control<QPushButton>(dlg, "btnOK")->click();
    QCOMPARE(sectionNames(ini), QStringList({"Config", "Options File VPTEMP"}));
    QCOMPARE(sectionLines(ini, "Options File VPTEMP"), QStringList({"0=/tmp/KOVRA5.HEX"}));
    QVERIFY(sectionLines(ini, "Config").contains("VALIDITY=30"));
}

void TestConfig::writeFailureKeepsNewValuesInForce()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    FakeMainWindow window;
    Login().CurrentMode = ModeAdministrator;
    home.db().settings().noAutoLogout = false;
    home.db().settings().autoLogoutTime = 600;
    AutoLogout autoLogout(home.db(), nullptr, 3600000);
    autoLogout.tick();
    QCOMPARE(autoLogout.idleSeconds(), 5);

    // A folder in the file's place cannot be written as a file.
    const QString ini = home.file("KOVRACONSOLE.INI");
    QVERIFY(QFile::remove(ini));
    QVERIFY(QDir().mkdir(ini));
    const int before = configEvents(home.db());
    TfrmConfiguration dlg(home.db());
    control<QCheckBox>(dlg, "cbAutologout")->setChecked(true);
    control<QSpinBox>(dlg, "edtExpire")->setValue(45);
    control<QPushButton>(dlg, "btnOK")->click();

    QCOMPARE(dialogs.texts(), QStringList({"An error occurred when writing to the KOVRACONSOLE.INI file."}));
    QCOMPARE(dialogs.shown().first().caption, QString("Error"));
    QCOMPARE(dialogs.shown().first().lifetimeMs, 5000);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(home.db().settings().noAutoLogout);
    QCOMPARE(home.db().settings().validity, 45);
    QCOMPARE(configEvents(home.db()), before + 1);
    autoLogout.tick();   // the idle logout stopped with OK
    QCOMPARE(autoLogout.idleSeconds(), 5);
}

void TestConfig::cancelChangesNothing()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    const QString ini = home.file("KOVRACONSOLE.INI");
    const QByteArray text = readText(ini);
    const int before = configEvents(home.db());
    TfrmConfiguration dlg(home.db());
    control<QSpinBox>(dlg, "edtAutoLogout")->setValue(9);
    control<QCheckBox>(dlg, "cbPasswordExpire")->setChecked(true);
    control<QPushButton>(dlg, "btnCancel")->click();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(readText(ini), text);
    QCOMPARE(home.db().settings().autoLogoutTime, 180);
    QVERIFY(!home.db().settings().noPasswordExpire);
    QCOMPARE(configEvents(home.db()), before);
}

void TestConfig::baudCodes_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("shown");   // empty: no choice shown
    QTest::newRow("300") << 2 << "300";
    QTest::newRow("9600") << 7 << "9600";
    QTest::newRow("38400") << 10 << "38400";
    QTest::newRow("57600") << 12 << "57600";
    QTest::newRow("115200") << 13 << "115200";
    QTest::newRow("custom") << 0 << "";
    QTest::newRow("110") << 1 << "";
    QTest::newRow("600") << 3 << "";
    QTest::newRow("56000") << 11 << "";
}

void TestConfig::baudCodes()
{
    QFETCH(int, code);
    QFETCH(QString, shown);
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().settings().comPortBauds = code;
    TfrmConfiguration dlg(home.db());
    QComboBox *baud = control<QComboBox>(dlg, "cbxBaud");
    QCOMPARE(baud->currentText(), shown);
    control<QPushButton>(dlg, "btnOK")->click();
    QCOMPARE(home.db().settings().comPortBauds, code);
    if (!shown.isEmpty()) {
        // Another choice stores its own code.
        TfrmConfiguration again(home.db());
        control<QComboBox>(again, "cbxBaud")->setCurrentText("19200");
        control<QPushButton>(again, "btnOK")->click();
        QCOMPARE(home.db().settings().comPortBauds, 9);
    }
}

void TestConfig::windowLayout()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().settings().tcpServer = true;
    home.db().settings().tcpServerPort = 5000;
    TfrmConfiguration dlg(home.db());
    QCOMPARE(dlg.windowTitle(), QString("Kovra Console | Configuration"));
    QTabWidget *pages = dlg.findChild<QTabWidget *>();
    QVERIFY(pages);
    QStringList visible;
    for (int i = 0; i < pages->count(); ++i)
        if (pages->isTabVisible(i))
            visible.append(pages->tabText(i));
    QCOMPARE(visible, QStringList({"Access"}));
    QCOMPARE(pages->tabText(pages->currentIndex()), QString("Access"));
    QSpinBox *expire = control<QSpinBox>(dlg, "edtExpire");
    QCOMPARE(expire->minimum(), 1);
    QCOMPARE(expire->maximum(), 180);
    QCOMPARE(expire->singleStep(), 10);
    QSpinBox *minutes = control<QSpinBox>(dlg, "edtAutoLogout");
    QCOMPARE(minutes->minimum(), 1);
    QCOMPARE(minutes->maximum(), 20);
    dlg.show();
    QCOMPARE(control<QPushButton>(dlg, "btnTCPServer")->text(), QString("Stop Server"));
    QSpinBox *port = control<QSpinBox>(dlg, "edtTCPServer");
    QCOMPARE(port->value(), 5000);
    QVERIFY(!port->isEnabled());
    QCOMPARE(control<QComboBox>(dlg, "cbxDatabits")->currentText(), QString("8"));
    QCOMPARE(control<QComboBox>(dlg, "cbxComPort")->currentText(), QString("COM1"));

    // The port box's value becomes the configured port; the file never gets it.
    home.db().settings().tcpServer = false;
    TfrmConfiguration second(home.db());
    second.show();
    QSpinBox *port2 = control<QSpinBox>(second, "edtTCPServer");
    QVERIFY(port2->isEnabled());
    QCOMPARE(control<QPushButton>(second, "btnTCPServer")->text(), QString("Start Server"));
    port2->setValue(6000);
    control<QPushButton>(second, "btnOK")->click();
    QCOMPARE(home.db().settings().tcpServerPort, 6000);
    QVERIFY(!sectionLines(home.file("KOVRACONSOLE.INI"), "Config").contains("TCPSERVERPORT=6000"));
}

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
