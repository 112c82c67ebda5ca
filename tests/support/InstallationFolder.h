#pragma once
// A fresh installation (udb.kdb, bdb, DB/dbKovraConsole.kdb, folders, INI) in a
// temporary folder set as the process's home, with a TdmdMain that has both
// databases open. Typical use:
//
//   InstallationFolder home;
//   const int id = home.addAccount("0000000001", "014");
//   QCOMPARE(home.optionValue(id, "326"), "0140");
//   home.db().SetOptionValue(id, "013", "3065");
//
// Construct a ScriptedDialogs before it when the test checks messages.
#include "TdmdMain.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace kovra {

class InstallationFolder {
public:
    // openAccountDatabase false: only the user database is open, as after start-up.
    explicit InstallationFolder(bool openAccountDatabase = true);
    ~InstallationFolder();

    QString path() const { return m_dir.path(); }
    QString file(const QString &relative) const { return m_dir.path() + "/" + relative; }
    TdmdMain &db() { return *m_db; }

    // Account with the catalogue defaults of the generation; returns Kovra_ID.
    int addAccount(const QString &number, const QString &generationCode = QStringLiteral("014"));
    QString optionValue(int accountId, const QString &optionNumber);
    int optionRowCount(int accountId);
    // A value of one column of the tblKovra row.
    QString accountField(int accountId, const QString &column);
    // count(*) of a table of the account database (or "tblUser"/"tblLog").
    int rowCount(const QString &table);

    // Drops and creates the module again (e.g. after files were changed).
    void reopen(bool openAccountDatabase = true);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TdmdMain> m_db;
};

} // namespace kovra
