#include "InstallationFolder.h"

#include "Installation.h"
#include "KovraHome.h"

#include <QSqlQuery>
#include <QtTest>

namespace kovra {

InstallationFolder::InstallationFolder(bool openAccountDatabase)
{
    const QString error = CreateInstallation(m_dir.path());
    if (!error.isEmpty())
        qFatal("InstallationFolder: %s", qPrintable(error));
    SetKovraHome(m_dir.path());
    reopen(openAccountDatabase);
}

InstallationFolder::~InstallationFolder()
{
    m_db.reset();
    SetKovraHome(QString());
}

void InstallationFolder::reopen(bool openAccountDatabase)
{
    m_db.reset();
    m_db = std::make_unique<TdmdMain>();
    if (openAccountDatabase && !m_db->OpenDatabase())
        qFatal("InstallationFolder: the account database did not open");
}

int InstallationFolder::addAccount(const QString &number, const QString &generationCode)
{
    return m_db->AddDefaultOptions(DefaultAccountValues(number, generationCode));
}

QString InstallationFolder::optionValue(int accountId, const QString &optionNumber)
{
    return m_db->GetOptionValue(accountId, optionNumber);
}

int InstallationFolder::optionRowCount(int accountId)
{
    QSqlQuery q = RunSql(m_db->accountDatabase(), "SELECT count(*) FROM tblKovraOptions WHERE Kovra_ID = ?", {accountId});
    return q.next() ? q.value(0).toInt() : -1;
}

QString InstallationFolder::accountField(int accountId, const QString &column)
{
    QSqlQuery q = RunSql(m_db->accountDatabase(), QString("SELECT %1 FROM tblKovra WHERE Kovra_ID = ?").arg(column),
                         {accountId});
    return q.next() ? q.value(0).toString() : QString();
}

int InstallationFolder::rowCount(const QString &table)
{
    const bool users = table == "tblUser" || table == "tblLog";
    QSqlQuery q = RunSql(users ? m_db->userDatabase() : m_db->accountDatabase(),
                         QString("SELECT count(*) FROM %1").arg(table));
    return q.next() ? q.value(0).toInt() : -1;
}

} // namespace kovra
