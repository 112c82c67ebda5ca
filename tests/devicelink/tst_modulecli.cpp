// kovra-cli module ... as a user runs it: a real process on a temporary
// installation folder, talking to a simulated module in this process.
#include "ModuleSimulator.h"
#include "BuildSettings.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace kovra;

namespace {
const QString kKey = QStringLiteral("00112233445566778899AABBCCDDEEFF");
const QString kAdmin = QStringLiteral("modadmin");
const QString kAdminPassword = QStringLiteral("mod-pass-1");

QString cacheValue(const QString &key) { return BuildSetting(key); }

struct Run {
    int rc = -1;
    QString out;
    QString err;
};

// Runs kovra-cli while this thread's event loop keeps the simulator answering.
Run cli(const QString &home, const QStringList &args, const QString &password, const QString &newPassword = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("KOVRA_HOME", home);
    e.insert("KOVRA_PASSWORD", password);
    if (!newPassword.isEmpty())
        e.insert("KOVRA_NEW_PASSWORD", newPassword);
    p.setProcessEnvironment(e);
    QEventLoop loop;
    QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&p, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    p.start(QStringLiteral(KOVRA_BUILD_DIR "/tools/kovra-cli/kovra-cli"), args);
    p.closeWriteChannel();
    loop.exec();
    Run r;
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.rc = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Table rows of the output: display number -> (database, module, agree), cut at
// the header's column starts (values may be empty).
QMap<QString, QStringList> tableRows(const QString &out)
{
    QMap<QString, QStringList> rows;
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    int header = -1;
    for (int i = 0; i < lines.size() && header < 0; ++i)
        if (lines[i].startsWith("Option"))
            header = i;
    if (header < 0)
        return rows;
    const QString &h = lines[header];
    const int db = int(h.indexOf("Database")), mod = int(h.indexOf("Module")), agree = int(h.indexOf("Agree"));
    for (int i = header + 1; i < lines.size(); ++i) {
        const QString &l = lines[i];
        if (!QRegularExpression("^\\d{3} ").match(l).hasMatch())
            continue;
        rows.insert(l.left(3), {l.mid(db, mod - db).trimmed(), l.mid(mod, agree - mod).trimmed(), l.mid(agree).trimmed()});
    }
    return rows;
}
} // namespace

class TestModuleCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void setAllThenEveryValueAgrees();
    void getAndSetOneOption();
    void failuresGiveTenPlusResult_data();
    void failuresGiveTenPlusResult();
    void changeKeyStoresNewKey();
    void usage_data();
    void usage();

private:
    Run admin(const QStringList &args) { return cli(m_home, QStringList{"--login", kAdmin} + args, kAdminPassword); }
    QTemporaryDir m_dir;
    QString m_home;
    ModuleSimulator m_sim{Generation::V14};
};

void TestModuleCli::initTestCase()
{
    m_home = m_dir.path() + "/home";
    QVERIFY(m_sim.listen(QHostAddress::LocalHost, 0));
    m_sim.setKey(kKey);
    QCOMPARE(cli(m_home, {"init", m_home}, QString()).rc, 0);
    const Run add = cli(m_home,
                        {"--login", cacheValue("KOVRA_SERVICE_LOGIN"), "user", "add", kAdmin, "--type", "2", "--first",
                         "Mo", "--last", "Dule", "--expires", "2099-01-01"},
                        cacheValue("KOVRA_SERVICE_PASSWORD"), kAdminPassword);
    QVERIFY2(add.rc == 0, qPrintable(add.err));
    for (const QString &number : {QStringLiteral("0000000042"), QStringLiteral("0000000043")}) {
        const Run acc = admin({"--no", "account", "add", "--number", number, "--generation", "014", "--ip", "127.0.0.1",
                               "--console-port", QString::number(m_sim.port()), "--key", kKey});
        QVERIFY2(acc.rc == 0, qPrintable(acc.err));
    }
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const QString closedPort = QString::number(probe.serverPort());
    probe.close();
    Run acc = admin({"--no", "account", "add", "--number", "0000000044", "--generation", "014", "--ip",
                     "127.0.0.1", "--console-port", closedPort});
    QVERIFY2(acc.rc == 0, qPrintable(acc.err));
    acc = admin({"--no", "account", "add", "--number", "0000000045", "--generation", "013", "--ip", "127.0.0.1",
                 "--console-port", QString::number(m_sim.port()), "--key", kKey});
    QVERIFY2(acc.rc == 0, qPrintable(acc.err));
}

void TestModuleCli::setAllThenEveryValueAgrees()
{
    const Run r = admin({"module", "set-all", "0000000042"});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    const auto rows = tableRows(r.out);
    QCOMPARE(rows.size(), 85);
    for (auto it = rows.begin(); it != rows.end(); ++it)
        QVERIFY2(it.value().value(2) == "yes", qPrintable(it.key() + ": " + it.value().join(" | ")));
    QCOMPARE(m_sim.optionValue("001"), QStringLiteral("127.0.0.1"));   // the database value went out
    QCOMPARE(m_sim.optionValue("003"), QStringLiteral("0000000042"));
}

void TestModuleCli::getAndSetOneOption()
{
    m_sim.setOptionValue("01A", "module@example.com");
    Run r = admin({"module", "get", "0000000042", "026"});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QCOMPARE(tableRows(r.out).value("026"), QStringList({"", "module@example.com", "no"}));
    r = admin({"module", "set", "0000000042", "EMail1"});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QCOMPARE(tableRows(r.out).value("026"), QStringList({"", "", "yes"}));
    QCOMPARE(m_sim.optionValue("01A"), QString());
    r = admin({"module", "set", "0000000042", "806"});   // software version
    QCOMPARE(r.rc, 1);
    QVERIFY(r.err.contains("This option is read-only."));
}

void TestModuleCli::failuresGiveTenPlusResult_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("rc");
    QTest::addColumn<QString>("message");
    QTest::newRow("rejected") << "installer" << 16 << "Console session rejected by Kovra.";
    QTest::newRow("wrong key") << "key" << 12
                               << "Communication failed. Please ensure that you are using the correct Encryption Key and Password.";
    QTest::newRow("newer than the console handles") << "version" << 17 << "Incorrect Version of Kovra.";
    QTest::newRow("no module") << "closed" << 11 << "Cannot connect to the specified IP Address.";
    QTest::newRow("account older than module") << "older" << 18 << "account upgrade 0000000045 014";
}

void TestModuleCli::failuresGiveTenPlusResult()
{
    QFETCH(QString, fault);
    QFETCH(int, rc);
    QFETCH(QString, message);
    const QString installer = m_sim.installerCode();
    const QString version = m_sim.optionValue("326");
    if (fault == "installer")
        m_sim.setInstallerCode("1111");
    else if (fault == "key")
        m_sim.setKey(QString(32, 'A'));
    else if (fault == "version")
        m_sim.setOptionValue("326", "0150");
    // 0000000044's console port has no listener
    const Run r = admin({"module", "get-all", fault == "closed" ? "0000000044" : fault == "older" ? "0000000045" : "0000000043"});
    m_sim.setInstallerCode(installer);
    m_sim.setKey(kKey);
    m_sim.setOptionValue("326", version);
    QCOMPARE(r.rc, rc);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
}

void TestModuleCli::changeKeyStoresNewKey()
{
    const QString newKey = QStringLiteral("0F1E2D3C4B5A69788796A5B4C3D2E1F0");
    Run r = admin({"module", "change-key", "0000000043", newKey});
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QVERIFY(r.out.contains("Set Option finished successfully."));
    QCOMPARE(m_sim.key(), newKey);
    r = admin({"account", "show", "0000000043"});
    QVERIFY(r.out.contains(newKey));
    r = admin({"module", "get", "0000000043", "004"});   // the stored key opens the next session
    QVERIFY2(r.rc == 0, qPrintable(r.err));
    QCOMPARE(tableRows(r.out).value("004"), QStringList({newKey.left(16), newKey.left(16), "yes"}));
    r = admin({"log", "list", "--last", "20"});
    QVERIFY(r.out.contains("Kovra Account 0000000043 edited"));
    // back to the shared key for the other cases
    r = admin({"module", "change-key", "0000000043", kKey});
    QCOMPARE(r.rc, 0);
}

void TestModuleCli::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("rc");
    QTest::newRow("no command") << QStringList{"module"} << 2;
    QTest::newRow("unknown command") << QStringList{"module", "fly", "0000000042"} << 2;
    QTest::newRow("get without option") << QStringList{"module", "get", "0000000042"} << 2;
    QTest::newRow("unknown account") << QStringList{"module", "get-all", "00000000FF"} << 1;
    QTest::newRow("unknown option") << QStringList{"module", "get", "0000000042", "999"} << 1;
    QTest::newRow("short key") << QStringList{"module", "change-key", "0000000042", "0123"} << 1;
}

void TestModuleCli::usage()
{
    QFETCH(QStringList, args);
    QFETCH(int, rc);
    const int before = m_sim.commandCount();
    QCOMPARE(admin(args).rc, rc);
    QCOMPARE(m_sim.commandCount(), before);   // nothing reached the module
}

QTEST_GUILESS_MAIN(TestModuleCli)
#include "tst_modulecli.moc"
