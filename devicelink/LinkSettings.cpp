#include "LinkSettings.h"
#include "Cipher.h"
#include "OptionCatalogue.h"
#include "TdmdCommunication.h"

#include <QSqlQuery>
#include <QVariant>

namespace kovra {
namespace {
bool optionValue(const QSqlDatabase &db, int kovraId, const QString &number, QString *value)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "SELECT KovraOptionValue FROM tblKovraOptions WHERE Kovra_ID = ? AND OptionNumber = ?"));
    q.addBindValue(kovraId);
    q.addBindValue(number);
    if (!q.exec() || !q.next())
        return false;
    *value = q.value(0).toString();
    return true;
}
} // namespace

void BuildSessionKey(const QString &key004, const QString &key005, bool *encrypt, QString *key)
{
    const QString zero(16, QLatin1Char('0'));
    const bool has1 = !key004.isEmpty() && !IsZeroKeyHalf(key004);
    const bool has2 = !key005.isEmpty() && !IsZeroKeyHalf(key005);
    *encrypt = has1 || has2;
    *key = *encrypt ? (has1 ? key004 : zero) + (has2 ? key005 : zero) : QString();
}

LinkSettings LoadLinkSettings(const QSqlDatabase &db, int kovraId)
{
    LinkSettings s;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT KovraAccount, KovraIP FROM tblKovra WHERE Kovra_ID = ?"));
    q.addBindValue(kovraId);
    if (q.exec() && q.next()) {
        s.found = true;
        s.AccountNumber = q.value(0).toString();
        s.ModuleHost = q.value(1).toString().trimmed();
    }
    QString v;
    if (optionValue(db, kovraId, QStringLiteral("013"), &v)) {
        bool ok = false;
        const uint port = v.trimmed().toUInt(&ok);
        s.ModulePort = ok && port <= 0xFFFF ? quint16(port) : 0;
    }
    s.hasInstallerCode = optionValue(db, kovraId, QStringLiteral("006"), &s.InstallerCode);
    optionValue(db, kovraId, QStringLiteral("326"), &s.ExpectedVersion);
    QString k1, k2;
    optionValue(db, kovraId, QStringLiteral("004"), &k1);
    optionValue(db, kovraId, QStringLiteral("005"), &k2);
    BuildSessionKey(k1.trimmed(), k2.trimmed(), &s.Encrypt, &s.Key);
    return s;
}

void ApplyLinkSettings(TdmdCommunication &link, const LinkSettings &s, int kovraId)
{
    link.setModuleHost(s.ModuleHost, s.ModulePort);
    if (s.hasInstallerCode)
        link.InstallerCode = s.InstallerCode;
    link.ExpectedVersion = s.ExpectedVersion;
    link.setCurrentAccount(kovraId);
}

KovraOptionList LoadOptionList(const QSqlDatabase &db, int kovraId)
{
    KovraOptionList list;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT KovraOption_ID, OptionNumber, KovraOptionValue, KovraOptionTempValue "
                             "FROM tblKovraOptions WHERE Kovra_ID = ? ORDER BY OptionNumber"));
    q.addBindValue(kovraId);
    if (!q.exec())
        return list;
    while (q.next()) {
        KovraOptionRow r;
        r.Kovra_ID = kovraId;
        r.KovraOption_ID = q.value(0).toInt();
        r.OptionNumber = q.value(1).toString();
        r.KovraOptionValue = q.value(2).toString();
        r.KovraOptionTempValue = q.value(3).toString();
        if (const CatalogueEntry *e = FindCatalogueEntry(r.OptionNumber))
            r.KovraOptionTypeValidation = e->OptionTypeValidation;
        list << r;
    }
    return list;
}

bool StoreEncryptionKey(const QSqlDatabase &db, int kovraId, const QString &newKey)
{
    QSqlDatabase d = db;
    const QString key = newKey.toUpper();
    if (!d.transaction())
        return false;
    QSqlQuery k(d);
    k.prepare(QStringLiteral("UPDATE tblKovra SET KovraKey = ? WHERE Kovra_ID = ?"));
    k.addBindValue(key);
    k.addBindValue(kovraId);
    bool ok = k.exec();
    QSqlQuery queSetKovraOption(d);
    queSetKovraOption.prepare(QStringLiteral(
        "UPDATE tblKovraOptions SET KovraOptionValue = ? WHERE Kovra_ID = ? AND OptionNumber = ?"));
    const QString halves[2][2] = {{key.left(16), QStringLiteral("004")}, {key.mid(16, 16), QStringLiteral("005")}};
    for (const auto &h : halves) {
        if (!ok)
            break;
        queSetKovraOption.addBindValue(h[0]);
        queSetKovraOption.addBindValue(kovraId);
        queSetKovraOption.addBindValue(h[1]);
        ok = queSetKovraOption.exec();
    }
    if (!ok) {
        d.rollback();
        return false;
    }
    return d.commit();
}

} // namespace kovra
