// Tables of both databases: widths refused by the engine, auto numbers never
// reused, calculated type names, case rules and the catalogue tables' forms.
#include "Installation.h"
#include "InstallationFolder.h"
#include "OptionCatalogue.h"
#include "Schema.h"
#include "TdmdMain.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace kovra;

class TestSchema : public QObject {
    Q_OBJECT
private slots:
    void everyColumnExists_data();
    void everyColumnExists();
    void widthsAreEnforced_data();
    void widthsAreEnforced();
    void optionDescriptionHoldsLongestCatalogueText();
    void autoNumbersNeverReused_data();
    void autoNumbersNeverReused();
    void calculatedTypeNames_data();
    void calculatedTypeNames();
    void userListHidesSupervisors();
    void catalogueTablesNumberForms();
    void installationRefusesExistingUserDatabase();
};

namespace {
QSqlDatabase dbFor(InstallationFolder &home, const QString &table)
{
    return table == "tblUser" || table == "tblLog" ? home.db().userDatabase() : home.db().accountDatabase();
}
} // namespace

void TestSchema::everyColumnExists_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");
    QTest::newRow("tblKovra") << "tblKovra"
                              << QStringList{"Kovra_ID", "KovraAccount", "KovraIP", "KovraKey", "KovraMAC",
                                             "Receiver1", "Receiver2", "Receiver3", "Receiver1Gateway",
                                             "Receiver2Gateway", "Receiver3Gateway", "Receiver1Port",
                                             "Receiver2Port", "Receiver3Port"};
    QTest::newRow("tblKovraOptions") << "tblKovraOptions"
                                     << QStringList{"KovraOption_ID", "Kovra_ID", "OptionNumber",
                                                    "KovraOptionOldValue", "KovraOptionValue", "KovraOptionTempValue"};
    QTest::newRow("tblReceiver") << "tblReceiver"
                                 << QStringList{"Receiver_ID", "ReceiverIP", "ReceiverName", "ReceiverType",
                                                "ReceiverDescription", "ReceiverPassword", "ReceiverPort"};
    const QStringList catalogue{"OptionNumber", "OptionName", "OptionPanelType", "OptionTypeValidation",
                                "OptionDefault", "OptionEffect", "OptionDescription"};
    QTest::newRow("tblOptions") << "tblOptions" << catalogue;
    QTest::newRow("tblTemplate") << "tblTemplate" << catalogue;
    QTest::newRow("tblUser") << "tblUser"
                             << QStringList{"User_ID", "UserLoginName", "UserFirstName", "UserLastName",
                                            "UserPassword", "UserExpireDate", "UserNew", "UserType", "UserTypeAuth"};
    QTest::newRow("tblLog") << "tblLog" << QStringList{"Event_ID", "EventTime", "User", "Event", "EventDescription"};
}

void TestSchema::everyColumnExists()
{
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    InstallationFolder home;
    QSqlQuery q = RunSql(dbFor(home, table), QString("SELECT * FROM %1 LIMIT 0").arg(table));
    QStringList actual;
    for (int i = 0; i < q.record().count(); ++i)
        actual << q.record().fieldName(i);
    QCOMPARE(actual, columns);
}

void TestSchema::widthsAreEnforced_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<int>("width");
    const QList<QPair<QString, QList<QPair<QString, int>>>> widths = {
        {"tblKovra", {{"KovraAccount", 10}, {"KovraIP", 15}, {"KovraKey", 32}, {"KovraMAC", 12},
                      {"Receiver3", 15}, {"Receiver2Gateway", 50}, {"Receiver1Port", 50}}},
        {"tblKovraOptions", {{"OptionNumber", 3}, {"KovraOptionOldValue", 64}, {"KovraOptionValue", 64},
                             {"KovraOptionTempValue", 64}}},
        {"tblReceiver", {{"ReceiverIP", 15}, {"ReceiverName", 50}, {"ReceiverDescription", 120},
                         {"ReceiverPassword", 4}}},
        {"tblOptions", {{"OptionName", 30}, {"OptionPanelType", 2}, {"OptionDefault", 64},
                        {"OptionEffect", 20}, {"OptionDescription", 80}}},
        {"tblTemplate", {{"OptionNumber", 3}, {"OptionDescription", 80}}},
        {"tblUser", {{"UserLoginName", 30}, {"UserFirstName", 35}, {"UserLastName", 50},
                     {"UserPassword", 64}, {"UserTypeAuth", 64}}},
        {"tblLog", {{"User", 30}, {"Event", 200}, {"EventDescription", 255}}},
    };
    for (const auto &t : widths)
        for (const auto &c : t.second)
            QTest::addRow("%s.%s", qPrintable(t.first), qPrintable(c.first)) << t.first << c.first << c.second;
}

void TestSchema::widthsAreEnforced()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(int, width);
    InstallationFolder home;
    QSqlDatabase db = dbFor(home, table);
    const QString insert = QString("INSERT INTO %1 (\"%2\") VALUES (?)").arg(table, column);
    // Non-ASCII letters count as one character each.
    const QString full = QString(width - 1, 'A') + QChar(0x00C9);
    RunSql(db, insert, {full});
    const int rows = home.rowCount(table);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, RunSql(db, insert, {full + "B"}));
    QCOMPARE(home.rowCount(table), rows);
    QSqlQuery q = RunSql(db, QString("SELECT count(*) FROM %1 WHERE \"%2\" = ? COLLATE BINARY").arg(table, column),
                         {full});
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);   // stored whole
}

void TestSchema::optionDescriptionHoldsLongestCatalogueText()
{
    const CatalogueEntry *e041 = FindCatalogueEntry("041");
    QVERIFY(e041);
    QCOMPARE(e041->OptionDescription.size(), 76);
    InstallationFolder home;
    home.db().LoadTemplateCatalogue("014");
    for (const QString &sql : {QString("SELECT OptionDescription FROM tblOptions WHERE OptionNumber = '041'"),
                               QString("SELECT OptionDescription FROM tblTemplate WHERE OptionNumber = '065'")}) {
        QSqlQuery q = RunSql(home.db().accountDatabase(), sql);
        QVERIFY2(q.next(), qPrintable(sql));
        QCOMPARE(q.value(0).toString(), e041->OptionDescription);
    }
}

void TestSchema::autoNumbersNeverReused_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("column");
    QTest::newRow("tblKovra") << "tblKovra" << "Kovra_ID" << "KovraAccount";
    QTest::newRow("tblKovraOptions") << "tblKovraOptions" << "KovraOption_ID" << "OptionNumber";
    QTest::newRow("tblReceiver") << "tblReceiver" << "Receiver_ID" << "ReceiverIP";
    QTest::newRow("tblUser") << "tblUser" << "User_ID" << "UserLoginName";
    QTest::newRow("tblLog") << "tblLog" << "Event_ID" << "Event";
}

void TestSchema::autoNumbersNeverReused()
{
    QFETCH(QString, table);
    QFETCH(QString, key);
    QFETCH(QString, column);
    InstallationFolder home;
    QSqlDatabase db = dbFor(home, table);
    const QString insert = QString("INSERT INTO %1 (\"%2\") VALUES ('a')").arg(table, column);
    const int first = RunSql(db, insert).lastInsertId().toInt();
    const int second = RunSql(db, insert).lastInsertId().toInt();
    RunSql(db, QString("DELETE FROM %1 WHERE %2 = ?").arg(table, key), {second});
    // Reopening must not bring the number back either.
    home.reopen();
    db = dbFor(home, table);
    const int third = RunSql(db, insert).lastInsertId().toInt();
    QVERIFY(second > first);
    QVERIFY(third > second);
}

void TestSchema::calculatedTypeNames_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("userTypeName");
    QTest::addColumn<QString>("receiverTypeName");
    QTest::newRow("1") << 1 << "Supervisor" << "Brenta";
    QTest::newRow("2") << 2 << "Administrator" << "KV5 Server V1";
    QTest::newRow("3") << 3 << "User" << "";
    QTest::newRow("4") << 4 << "" << "";
    QTest::newRow("0") << 0 << "" << "";
}

void TestSchema::calculatedTypeNames()
{
    QFETCH(int, code);
    QFETCH(QString, userTypeName);
    QFETCH(QString, receiverTypeName);
    QCOMPARE(UserTypeName(code), userTypeName);
    QCOMPARE(ReceiverTypeName(code), receiverTypeName);
    // The grids' SELECTs compute the same names.
    InstallationFolder home;
    RunSql(home.db().userDatabase(), "INSERT INTO tblUser (UserLoginName, UserType) VALUES ('u', ?)", {code});
    RunSql(home.db().accountDatabase(), "INSERT INTO tblReceiver (ReceiverIP, ReceiverType) VALUES ('1.1.1.1', ?)",
           {code});
    QSqlQuery u = RunSql(home.db().userDatabase(), QString("SELECT %1 FROM tblUser").arg(UserTypeNameSql()));
    QVERIFY(u.next());
    QCOMPARE(u.value(0).toString(), userTypeName);
    QSqlQuery r = RunSql(home.db().accountDatabase(), ReceiverListSelect());
    QVERIFY(r.next());
    QCOMPARE(r.value("ReceiverTypeName").toString(), receiverTypeName);
}

void TestSchema::userListHidesSupervisors()
{
    InstallationFolder home;
    for (int type : {1, 2, 3, 4, 1})
        RunSql(home.db().userDatabase(), "INSERT INTO tblUser (UserLoginName, UserType) VALUES (?, ?)",
               {QString("user%1").arg(type), type});
    QSqlQuery q = RunSql(home.db().userDatabase(), UserListSelect());
    QStringList listed;
    while (q.next())
        listed << q.value("UserLoginName").toString() + "=" + q.value("UserTypeName").toString();
    QCOMPARE(listed, (QStringList{"user2=Administrator", "user3=User", "user4="}));
}

void TestSchema::catalogueTablesNumberForms()
{
    InstallationFolder home;
    home.db().LoadTemplateCatalogue("014");
    QSqlDatabase db = home.db().accountDatabase();
    auto exists = [&](const QString &table, const QString &number) {
        return RunSql(db, QString("SELECT 1 FROM %1 WHERE OptionNumber = ? COLLATE BINARY").arg(table), {number}).next();
    };
    QVERIFY(exists("tblTemplate", "901"));
    QVERIFY(exists("tblTemplate", "010"));
    QVERIFY(exists("tblTemplate", "806"));
    QVERIFY(!exists("tblTemplate", "385"));
    QVERIFY(exists("tblOptions", "385"));
    QVERIFY(exists("tblOptions", "00A"));
    // The template is in catalogue order and replaced, not appended, on a reload.
    home.db().LoadTemplateCatalogue("011");
    QCOMPARE(home.rowCount("tblTemplate"), CatalogueEntries(Generation::V11).size());
    QSqlQuery q = RunSql(db, "SELECT OptionNumber, OptionDefault FROM tblTemplate ORDER BY rowid");
    for (const CatalogueEntry &e : CatalogueEntries(Generation::V11)) {
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), DisplayNumber(e.OptionNumber));
        QCOMPARE(q.value(1).toString(), e.OptionDefault);
    }
}

void TestSchema::installationRefusesExistingUserDatabase()
{
    InstallationFolder home;
    home.db().WriteLogEvent(10);
    const QString error = CreateInstallation(home.path());
    QVERIFY(error.contains("udb.kdb"));
    QCOMPARE(home.rowCount("tblLog"), 1);   // nothing replaced
    // A fresh one has every file and folder.
    QTemporaryDir dir;
    const QString fresh = dir.path() + "/site";
    QCOMPARE(CreateInstallation(fresh), QString());
    for (const char *f : {"udb.kdb", "bdb", "DB/dbKovraConsole.kdb", "KOVRACONSOLE.INI"})
        QVERIFY2(QFileInfo(fresh + "/" + f).isFile(), f);
    for (const char *d : {"Export", "Import", "UPLOAD"})
        QVERIFY2(QFileInfo(fresh + "/" + d).isDir(), d);
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
