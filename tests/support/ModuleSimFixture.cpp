#include "ModuleSimFixture.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace kovra {

ModuleSimFixture::ModuleSimFixture(Generation generation, const QString &key, const QString &installerCode)
    : sim(generation), m_connection(QStringLiteral("simfixture-") + QUuid::createUuid().toString(QUuid::Id128))
{
    const QString k = key.isEmpty() ? QString(32, QLatin1Char('0')) : key.toUpper();
    sim.setKey(k);
    sim.setInstallerCode(installerCode);
    if (!sim.listen(QHostAddress::LocalHost, 0))
        qFatal("simulator cannot listen: %s", qPrintable(sim.errorString()));

    QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    d.setDatabaseName(QStringLiteral(":memory:"));
    if (!d.open())
        qFatal("cannot open the fixture database");
    QSqlQuery q(d);
    q.exec(QStringLiteral("CREATE TABLE tblKovra (Kovra_ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                          "KovraAccount TEXT, KovraIP TEXT, KovraKey TEXT, KovraMAC TEXT)"));
    q.exec(QStringLiteral("CREATE TABLE tblKovraOptions (KovraOption_ID INTEGER PRIMARY KEY AUTOINCREMENT, "
                          "Kovra_ID INTEGER, OptionNumber TEXT, KovraOptionOldValue TEXT, "
                          "KovraOptionValue TEXT, KovraOptionTempValue TEXT)"));
    q.prepare(QStringLiteral("INSERT INTO tblKovra (KovraAccount, KovraIP, KovraKey, KovraMAC) VALUES (?, ?, ?, ?)"));
    q.addBindValue(accountNumber());
    q.addBindValue(QStringLiteral("127.0.0.1"));
    q.addBindValue(k);
    q.addBindValue(QStringLiteral("02C0DE000000"));
    q.exec();
    m_accountId = q.lastInsertId().toInt();
    d.transaction();
    QSqlQuery ins(d);
    ins.prepare(QStringLiteral("INSERT INTO tblKovraOptions (Kovra_ID, OptionNumber, KovraOptionOldValue, "
                               "KovraOptionValue, KovraOptionTempValue) VALUES (?, ?, '', ?, '')"));
    for (const CatalogueEntry &e : CatalogueEntries(generation)) {
        QString v = e.OptionDefault;
        if (e.OptionNumber == QLatin1String("004"))
            v = k.left(16);
        else if (e.OptionNumber == QLatin1String("005"))
            v = k.mid(16);
        else if (e.OptionNumber == QLatin1String("006"))
            v = installerCode;
        else if (e.OptionNumber == QLatin1String("013"))
            v = QString::number(sim.port());
        ins.addBindValue(m_accountId);
        ins.addBindValue(e.OptionNumber);
        ins.addBindValue(v);
        ins.exec();
    }
    d.commit();

    link.setAccountDatabase(d);
    link.setLogWriter([this](int code, const QString &subject) { events << qMakePair(code, subject); });
    link.setReadTimeout(400);
    link.setWatchdogTimeout(600);   // the read timer ends a silent wait first, as in service
}

ModuleSimFixture::~ModuleSimFixture()
{
    link.CloseConnection();
    link.setAccountDatabase(QSqlDatabase());
    {
        QSqlDatabase d = QSqlDatabase::database(m_connection, false);
        d.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

QSqlDatabase ModuleSimFixture::db() const { return QSqlDatabase::database(m_connection, false); }

static QString column(const QSqlDatabase &d, int id, const QString &number, const char *col)
{
    QSqlQuery q(d);
    q.prepare(QStringLiteral("SELECT %1 FROM tblKovraOptions WHERE Kovra_ID = ? AND OptionNumber = ?")
                  .arg(QLatin1String(col)));
    q.addBindValue(id);
    q.addBindValue(number);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

QString ModuleSimFixture::optionValue(const QString &number) const
{
    return column(db(), m_accountId, number, "KovraOptionValue");
}

QString ModuleSimFixture::tempValue(const QString &number) const
{
    return column(db(), m_accountId, number, "KovraOptionTempValue");
}

void ModuleSimFixture::setOptionValue(const QString &number, const QString &value)
{
    QSqlQuery q(db());
    q.prepare(QStringLiteral("UPDATE tblKovraOptions SET KovraOptionValue = ? WHERE Kovra_ID = ? AND OptionNumber = ?"));
    q.addBindValue(value);
    q.addBindValue(m_accountId);
    q.addBindValue(number);
    q.exec();
}

QString ModuleSimFixture::accountKey() const
{
    QSqlQuery q(db());
    q.prepare(QStringLiteral("SELECT KovraKey FROM tblKovra WHERE Kovra_ID = ?"));
    q.addBindValue(m_accountId);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

LinkSettings ModuleSimFixture::apply()
{
    const LinkSettings s = LoadLinkSettings(db(), m_accountId);
    ApplyLinkSettings(link, s, m_accountId);
    return s;
}

QList<int> ModuleSimFixture::eventCodes() const
{
    QList<int> out;
    for (const auto &e : events)
        out << e.first;
    return out;
}

} // namespace kovra
