#include "MainWindowOps.h"

#include "DatabaseMaintenance.h"
#include "ExchangeFiles.h"
#include "KovraHome.h"
#include "LoginState.h"
#include "MessageDialogs.h"
#include "Schema.h"
#include "TdmdMain.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>

namespace kovra {

namespace {
bool confirmDelete()
{
    return !AskQuestion(QStringLiteral("Confirmation"), QStringLiteral("Are you sure you want to delete the entry?"),
                        MessageKind::YesNo);
}

QString accountFilter() { return QStringLiteral("Kovra Account Files (*.kva)|*.kva"); }
} // namespace

QString EntryCounter(int current, int count)
{
    if (current - count == 1)
        return QStringLiteral("New Record");
    if (count == 0)
        return QStringLiteral("No Entries");
    return QStringLiteral("Entry %1 of %2").arg(current).arg(count)
        + (count == 1 ? QStringLiteral(" entry.") : QStringLiteral(" entries."));
}

int FindPrefixRow(const QStringList &values, const QString &prefix, Qt::CaseSensitivity cs)
{
    if (prefix.isEmpty())
        return -1;
    for (int i = 0; i < values.size(); ++i)
        if (values[i].startsWith(prefix, cs))
            return i;
    return -1;
}

int UserSearchRow(const QStringList &values, const QString &prefix, int currentRow)
{
    const int row = FindPrefixRow(values, prefix, Qt::CaseSensitive);
    return row >= 0 ? row : currentRow;
}

const QStringList &AccountSort::SortableFields()
{
    static const QStringList fields{QStringLiteral("KovraAccount"), QStringLiteral("KovraIP"),
                                    QStringLiteral("KovraKey")};
    return fields;
}

bool AccountSort::click(const QString &field, int rowCount)
{
    // The field name goes into SQL: only the grid's own columns pass.
    if (!SortableFields().contains(field) || rowCount == 1)
        return false;
    if (field == m_field)
        m_direction = m_direction == QLatin1String("DESC") ? QStringLiteral("ASC") : QStringLiteral("DESC");
    m_field = field;
    return true;
}

QString AccountSort::sortText() const
{
    if (m_field.isEmpty())
        return {};
    return m_field + QLatin1Char(' ') + m_direction;
}

QString AccountSort::orderBy() const
{
    if (m_field.isEmpty())
        return QStringLiteral("Kovra_ID");
    // Ties keep their insertion order so the row position is stable.
    return m_field + (m_direction == QLatin1String("DESC") ? QStringLiteral(" DESC") : QStringLiteral(" ASC"))
        + QStringLiteral(", Kovra_ID");
}

bool DeleteAccountEntry(TdmdMain &dm, int kovraId)
{
    if (!confirmDelete())
        return false;
    dm.DeleteAccount(kovraId);   // logs "Kovra Account Delete"
    return true;
}

bool DeleteReceiverEntry(TdmdMain &dm, int receiverId)
{
    QString ip;
    {
        QSqlQuery q = RunSql(dm.accountDatabase(), QStringLiteral("SELECT ReceiverIP FROM tblReceiver WHERE Receiver_ID = ?"),
                             {receiverId});
        if (!q.next())
            return false;
        ip = q.value(0).toString();
    }
    if (!confirmDelete())
        return false;
    RunSql(dm.accountDatabase(), QStringLiteral("DELETE FROM tblReceiver WHERE Receiver_ID = ?"), {receiverId});
    dm.WriteLogEvent(114, ip);
    Q_EMIT dm.receiversChanged();
    return true;
}

bool DeleteUserEntry(TdmdMain &dm, int userId)
{
    QString login;
    {
        QSqlQuery q = RunSql(dm.userDatabase(), QStringLiteral("SELECT UserLoginName FROM tblUser WHERE User_ID = ?"), {userId});
        if (!q.next())
            return false;
        login = q.value(0).toString();
    }
    if (!confirmDelete())
        return false;
    dm.DeleteUser(userId);
    dm.WriteLogEvent(14, login);
    return true;
}

bool DeleteLogEntryAsked(TdmdMain &dm, int eventId)
{
    if (!confirmDelete())
        return false;
    dm.DeleteLogEntry(eventId);
    return true;
}

bool DeleteAllLogsAsked(TdmdMain &dm)
{
    if (dm.LogCount() == 0)
        return false;
    if (AskQuestion(QStringLiteral("Confirmation"), QStringLiteral("Are you sure you want to delete all entries?"),
                    MessageKind::YesNo))
        return false;
    dm.DeleteAllLogEntries();
    return true;
}

bool ExportAccountCommand(TdmdMain &dm, int kovraId)
{
    QString number;
    {
        QSqlQuery q = RunSql(dm.accountDatabase(), QStringLiteral("SELECT KovraAccount FROM tblKovra WHERE Kovra_ID = ?"),
                             {kovraId});
        if (!q.next())
            return false;
        number = q.value(0).toString();
    }
    const QString proposed = DefaultExportFileName(number);
    FileDialogRequest r;
    r.title = QStringLiteral("Export Kovra Account");
    r.filter = accountFilter();
    r.defaultSuffix = QStringLiteral("kva");
    r.folder = QFileInfo(proposed).absolutePath();
    r.fileName = QFileInfo(proposed).fileName();
    r.confirmOverwrite = true;
    const QString file = SaveFileName(r);
    if (file.isEmpty())
        return false;
    bool ok = false;
    {
        ConsoleBusyScope busy;   // holds off the auto-logout
        ProgressScope progress(QStringLiteral("Please Wait ..."), false);
        try {
            ok = ExportAccount(dm, file, kovraId);
        } catch (const DatabaseError &) {
            ok = false;
        }
    }
    if (ok) {
        dm.WriteLogEvent(118, number);
        ShowTimedInfo(QStringLiteral("Account information exported successfully."), -5000);
    } else {
        ShowTimedError(QStringLiteral("Exporting the Kovra Account has failed."), -5000);
    }
    return ok;
}

bool ImportAccountCommand(TdmdMain &dm, QString &lastFolder, int *importedId)
{
    FileDialogRequest r;
    r.title = QStringLiteral("Import Kovra Account");
    r.filter = accountFilter();
    r.defaultSuffix = QStringLiteral("kva");
    r.folder = lastFolder.isEmpty() ? HomePath(QStringLiteral("Import")) : lastFolder;
    r.mustExist = true;
    const QString file = OpenFileName(r);
    if (file.isEmpty())
        return false;
    lastFolder = QFileInfo(file).absolutePath();
    int id = 0;
    bool ok = false;
    {
        ConsoleBusyScope busy;   // holds off the auto-logout
        try {
            ok = ImportAccount(dm, file, &id);
        } catch (const DatabaseError &e) {
            // The import ran in one transaction, so nothing was kept.
            ShowError(e.text());
            ok = false;
        }
    }
    if (!ok)
        return false;
    QString number;
    {
        QSqlQuery q = RunSql(dm.accountDatabase(), QStringLiteral("SELECT KovraAccount FROM tblKovra WHERE Kovra_ID = ?"), {id});
        if (q.next())
            number = q.value(0).toString();
    }
    dm.WriteLogEvent(119, number);
    ShowTimedInfo(QStringLiteral("Kovra Account has been imported successfully."), -5000);
    if (importedId)
        *importedId = id;
    return true;
}

bool QuitRequested(TdmdMain &dm, int mode)
{
    if (mode == ModeUnattended) {
        ShowTimedInfo(QStringLiteral("Please log in first."), -5000);
        return false;
    }
    if (AskQuestion(QStringLiteral("Confirmation"), QStringLiteral("Do you really want to quit the Application?"),
                    MessageKind::YesNo))
        return false;
    dm.SaveConfiguration();
    try {
        dm.WriteLogEvent(15);
    } catch (const DatabaseError &) {
        // Quitting must not fail because the log could not be written.
    }
    return true;
}

void SaveReceiverDescription(TdmdMain &dm, int receiverId, const QString &text)
{
    RunSql(dm.accountDatabase(), QStringLiteral("UPDATE tblReceiver SET ReceiverDescription = ? WHERE Receiver_ID = ?"),
           {Text(text.left(120)), receiverId});
}

QString UserListQuery(const QString &filter)
{
    QString sql = QStringLiteral("SELECT User_ID, UserLoginName, UserFirstName, UserLastName, %1, UserExpireDate, UserType "
                                 "FROM tblUser")
                      .arg(UserTypeNameSql());
    if (!filter.isEmpty())
        sql += QStringLiteral(" WHERE ") + filter;
    return sql + QStringLiteral(" ORDER BY UserLoginName ASC, User_ID");
}

QString AccountListQuery(const QString &orderBy)
{
    return QStringLiteral("SELECT Kovra_ID, KovraAccount, KovraIP, KovraKey, Receiver1, Receiver2, Receiver3, "
                          "Receiver1Port, Receiver2Port, Receiver3Port FROM tblKovra ORDER BY ")
        + orderBy;
}

QString ReceiverListQuery()
{
    return QStringLiteral("SELECT Receiver_ID, ReceiverIP, ReceiverName, %1, ReceiverDescription, ReceiverPassword, "
                          "ReceiverPort, ReceiverType FROM tblReceiver ORDER BY Receiver_ID")
        .arg(ReceiverTypeNameSql());
}

QString LogListQuery()
{
    return QStringLiteral("SELECT Event_ID, replace(EventTime, 'T', ' ') AS EventTime, \"User\", Event, EventDescription "
                          "FROM tblLog ORDER BY Event_ID");
}

QString LocalAddressText(const QStringList &addresses)
{
    QString t = QStringLiteral("Local IP - ");
    if (!addresses.isEmpty())
        t += addresses.first();
    if (addresses.size() > 1)
        t += QLatin1Char(',') + addresses.at(1);
    return t;
}

} // namespace kovra
