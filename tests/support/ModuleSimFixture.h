#pragma once
// A simulated module on a free loopback port, a device link pointed at it with
// short time-outs, and a small account database holding one account of the same
// generation (tblKovra, tblKovraOptions with catalogue defaults). Audit events
// are recorded in `events`.
#include "LinkSettings.h"
#include "ModuleSimulator.h"
#include "TdmdCommunication.h"

#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <memory>

namespace kovra {

class ModuleSimFixture {
public:
    // key: 32 hex digits for both module and account ("" = zero key).
    explicit ModuleSimFixture(Generation generation = Generation::V14, const QString &key = QString(),
                              const QString &installerCode = QStringLiteral("D4E9"));
    ~ModuleSimFixture();

    ModuleSimulator sim;
    TdmdCommunication link;
    QList<QPair<int, QString>> events;   // (code, subject)

    QSqlDatabase db() const;
    int accountId() const { return m_accountId; }
    QString accountNumber() const { return QStringLiteral("0000000001"); }
    // Database side of the account.
    QString optionValue(const QString &number) const;
    QString tempValue(const QString &number) const;
    void setOptionValue(const QString &number, const QString &value);
    QString accountKey() const;   // tblKovra.KovraKey
    // Loads the link settings of the account and its option rows.
    LinkSettings apply();
    KovraOptionList options() const { return LoadOptionList(db(), m_accountId); }
    QList<int> eventCodes() const;

private:
    QString m_connection;
    int m_accountId = 0;
};

} // namespace kovra
