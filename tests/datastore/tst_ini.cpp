// KOVRACONSOLE.INI: defaults when the file or a key is absent, the profile
// reading rules, the configuration save and the grid-layout sections.
#include "IniFile.h"
#include "InstallationFolder.h"
#include "KovraHome.h"
#include "ScriptedDialogs.h"
#include "TempHome.h"
#include "TdmdMain.h"

#include <QFile>
#include <QtTest>

using namespace kovra;

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool sameSettings(const Settings &a, const Settings &b)
{
    return a.autoLogoutTime == b.autoLogoutTime && a.noAutoLogout == b.noAutoLogout &&
           a.noPasswordExpire == b.noPasswordExpire && a.validity == b.validity && a.comPortPort == b.comPortPort &&
           a.comPortBauds == b.comPortBauds && a.comPortCustomBauds == b.comPortCustomBauds &&
           a.comPortDataBits == b.comPortDataBits && a.tcpServerPort == b.tcpServerPort && a.tcpServer == b.tcpServer;
}

} // namespace

class TestIni : public QObject {
    Q_OBJECT
private slots:
    void defaultsWhenFileAbsent();
    void absentKeysTakeDefaults();
    void profileReadingRules_data();
    void profileReadingRules();
    void sectionsWithBlanksAndCase();
    void saveWritesKeysInOrderAndErasesGridSections();
    void roundTripThroughTheModule();
    void writeFailureIsReported();
    void gridLayoutSections();
};

void TestIni::defaultsWhenFileAbsent()
{
    TempHome home;
    QVERIFY(!QFile::exists(ConfigFilePath()));
    const Settings s = ReadSettings(ConfigFilePath());
    QCOMPARE(s.autoLogoutTime, 180);
    QCOMPARE(s.noAutoLogout, true);
    QCOMPARE(s.noPasswordExpire, false);
    QCOMPARE(s.validity, 90);
    QCOMPARE(s.comPortPort, QString("COM1"));
    QCOMPARE(s.comPortBauds, 7);
    QCOMPARE(s.comPortCustomBauds, 9600);
    QCOMPARE(s.comPortDataBits, 3);
    QCOMPARE(s.tcpServerPort, 3077);
    QCOMPARE(s.tcpServer, true);
    QCOMPARE(ConfigFilePath(), home.file("KOVRACONSOLE.INI"));
    // The fresh installation's file holds the same values.
    QTemporaryDir dir;
    QVERIFY(WriteDefaultSettings(dir.path() + "/KOVRACONSOLE.INI"));
    QVERIFY(sameSettings(ReadSettings(dir.path() + "/KOVRACONSOLE.INI"), s));
}

void TestIni::absentKeysTakeDefaults()
{
    TempHome home;
    writeFile(ConfigFilePath(), "[Config]\r\nVALIDITY=30\r\nCOMPORTPORT=COM3\r\n");
    const Settings s = ReadSettings(ConfigFilePath());
    QCOMPARE(s.validity, 30);
    QCOMPARE(s.comPortPort, QString("COM3"));
    QCOMPARE(s.noAutoLogout, true);   // AUTOLOGOUT absent: no idle logout
    QCOMPARE(s.autoLogoutTime, 180);
    QCOMPARE(s.comPortBauds, 7);
}

void TestIni::profileReadingRules_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("integer");
    QTest::addColumn<bool>("boolean");
    QTest::newRow("one") << QByteArray("1") << 1 << true;
    QTest::newRow("zero") << QByteArray("0") << 0 << false;
    QTest::newRow("any non-zero") << QByteArray("2") << 2 << true;
    QTest::newRow("negative") << QByteArray("-1") << -1 << true;
    QTest::newRow("blanks around") << QByteArray("  420  ") << 420 << true;
    QTest::newRow("digits then text") << QByteArray("12abc") << 12 << true;
    QTest::newRow("text") << QByteArray("yes") << 0 << false;
    QTest::newRow("empty") << QByteArray("") << 0 << false;
}

void TestIni::profileReadingRules()
{
    QFETCH(QByteArray, value);
    QFETCH(int, integer);
    QFETCH(bool, boolean);
    QTemporaryDir dir;
    const QString path = dir.path() + "/t.ini";
    writeFile(path, "[Config]\nKEY=" + value + "\n");
    const IniFile ini(path);
    QCOMPARE(ini.readInteger("Config", "KEY", 77), integer);
    QCOMPARE(ini.readBool("Config", "KEY", true), boolean);
    QCOMPARE(ini.readInteger("Config", "OTHER", 77), 77);
    QCOMPARE(ini.readBool("Config", "OTHER", false), false);
}

void TestIni::sectionsWithBlanksAndCase()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/t.ini";
    writeFile(path, "; comment\r\n[Options File VPTEMP]\r\n0=/srv/fw/KOVRA5.HEX\r\n\r\n[config]\r\nvalidity=45\r\n"
                    "VALIDITY=46\r\n");
    const IniFile ini(path);
    QCOMPARE(ini.readString("options file vptemp", "0"), QString("/srv/fw/KOVRA5.HEX"));
    QCOMPARE(ini.readInteger("CONFIG", "Validity", 0), 45);   // the first of a repeated key
    QCOMPARE(ini.readString("Missing", "0", "dflt"), QString("dflt"));

    // Writing an existing key in another case keeps one key, and other sections survive.
    IniFile edit(path);
    edit.writeInteger("Config", "VALIDITY", 60);
    QVERIFY(edit.save());
    const IniFile again(path);
    QCOMPARE(again.readInteger("Config", "VALIDITY", 0), 60);
    QCOMPARE(again.section("Config").size(), 1);
    QCOMPARE(again.readString("Options File VPTEMP", "0"), QString("/srv/fw/KOVRA5.HEX"));
}

void TestIni::saveWritesKeysInOrderAndErasesGridSections()
{
    TempHome home;
    writeFile(ConfigFilePath(),
              "[TfrmKovraRemoteProgramdbgKovra]\r\nCol0=120\r\n[Config]\r\nTCPSERVERPORT=4000\r\n"
              "[TfrmReceiverKovraTabledbgKovra]\r\nCol0=80\r\n[tfrmkovralocalprogramdbgkovra]\r\nCol0=1\r\n"
              "[Window]\r\nLeft=10\r\n");
    Settings s;
    s.autoLogoutTime = 420;
    s.noAutoLogout = false;
    s.noPasswordExpire = true;
    s.validity = 30;
    s.comPortPort = "COM2";
    s.comPortBauds = 0;
    s.comPortCustomBauds = 250000;
    s.comPortDataBits = 1;
    s.tcpServerPort = 9999;   // never written
    QVERIFY(SaveSettings(s, ConfigFilePath()));
    const IniFile ini(ConfigFilePath());
    QCOMPARE(ini.sections(), (QList<QString>{"Config", "Window"}));
    QStringList keys;
    for (const auto &e : ini.section("Config"))
        keys << e.first + "=" + e.second;
    QCOMPARE(keys, (QStringList{"TCPSERVERPORT=4000", "AUTOLOGOUTTIME=420", "AUTOLOGOUT=0", "NOPASSWORDEXPIRE=1",
                                "VALIDITY=30", "COMPORTPORT=COM2", "COMPORTBAUDS=0", "COMPORTCUSTOMBAUDS=250000",
                                "COMPORTDATABITS=1"}));
    QVERIFY(readFile(ConfigFilePath()).contains("[Config]\r\nTCPSERVERPORT=4000\r\nAUTOLOGOUTTIME=420\r\n"));
    Settings back = ReadSettings(ConfigFilePath());
    QCOMPARE(back.tcpServerPort, 4000);
    back.tcpServerPort = s.tcpServerPort;
    QVERIFY(sameSettings(back, s));
}

void TestIni::roundTripThroughTheModule()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    home.db().settings().autoLogoutTime = 120;
    home.db().settings().noPasswordExpire = true;
    QVERIFY(home.db().SaveConfiguration());
    home.db().settings() = Settings();
    home.db().ReadConfiguration();
    QCOMPARE(home.db().settings().autoLogoutTime, 120);
    QCOMPARE(home.db().settings().noPasswordExpire, true);
    QVERIFY(dialogs.shown().isEmpty());
}

void TestIni::writeFailureIsReported()
{
    ScriptedDialogs dialogs;
    InstallationFolder home(false);
    // A folder where the file should be: nothing can be written there.
    QVERIFY(QFile::remove(ConfigFilePath()));
    QVERIFY(QDir().mkpath(ConfigFilePath()));
    home.db().settings().validity = 12;
    QVERIFY(!home.db().SaveConfiguration());
    QCOMPARE(dialogs.texts(), QStringList{"An error occurred when writing to the KOVRACONSOLE.INI file."});
    QCOMPARE(dialogs.shown().first().lifetimeMs, 5000);
    QCOMPARE(home.db().settings().validity, 12);   // the values in memory stay
    QString error;
    QVERIFY(!SaveSettings(Settings(), ConfigFilePath(), &error));
    QVERIFY(!error.isEmpty());
}

void TestIni::gridLayoutSections()
{
    TempHome home;
    const QString section = "TfrmKovraRemoteProgramdbgKovra";
    const IniFile::Entries layout{{"Col0", "OptionNumber,64"}, {"Col1", "OptionName,180"}};
    QVERIFY(WriteGridLayout(ConfigFilePath(), section, layout));
    QVERIFY(WriteGridLayout(ConfigFilePath(), "TfrmReceiverKovraTabledbgKovra", {{"Col0", "Account,90"}}));
    QCOMPARE(ReadGridLayout(ConfigFilePath(), section), layout);
    // Writing again replaces the old layout instead of merging.
    QVERIFY(WriteGridLayout(ConfigFilePath(), section, {{"Col0", "OptionName,100"}}));
    QCOMPARE(ReadGridLayout(ConfigFilePath(), section), (IniFile::Entries{{"Col0", "OptionName,100"}}));
    QVERIFY(EraseGridLayout(ConfigFilePath(), section));
    QVERIFY(ReadGridLayout(ConfigFilePath(), section).isEmpty());
    QCOMPARE(ReadGridLayout(ConfigFilePath(), "TfrmReceiverKovraTabledbgKovra").size(), 1);
}

QTEST_GUILESS_MAIN(TestIni)
#include "tst_ini.moc"
