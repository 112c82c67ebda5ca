#pragma once
// The rules of the main window that need no widgets: counters, searches,
// sorting, the delete flows with their questions and audit events, the
// account export and import commands and the quit rule. The window reads its
// controls, calls these and shows the outcome.
#include <QString>
#include <QStringList>

namespace kovra {

class TdmdMain;

// "New Record" while a row is appended (current = count + 1), "No Entries",
// "Entry n of m entry." / "Entry n of m entries.". `current` is 1-based.
QString EntryCounter(int current, int count);

// First index whose text starts with `prefix`; -1 when none (or prefix empty).
int FindPrefixRow(const QStringList &values, const QString &prefix, Qt::CaseSensitivity cs);
// The user searches: walk from the top in list order; when nothing matches the
// row that was current stays current.
int UserSearchRow(const QStringList &values, const QString &prefix, int currentRow);

// Sorting of the accounts grid by a column title click.
class AccountSort {
public:
    // The fields a title click may sort by (the grid's own columns).
    static const QStringList &SortableFields();
    // Applies one click. False when nothing changes: a field outside the list,
    // or a table of exactly one row.
    bool click(const QString &field, int rowCount);
    QString field() const { return m_field; }
    QString direction() const { return m_direction; }   // "" (ascending), "ASC" or "DESC"
    // "Field Direction" as given to the table, e.g. "KovraAccount DESC";
    // empty before the first click.
    QString sortText() const;
    // The ORDER BY clause for the accounts query ("Kovra_ID" before any click).
    QString orderBy() const;

private:
    QString m_field;
    QString m_direction;
};

// Delete flows: each asks "Are you sure you want to delete the entry?" and
// returns true when the entry was deleted (and its event logged).
bool DeleteAccountEntry(TdmdMain &dm, int kovraId);
bool DeleteReceiverEntry(TdmdMain &dm, int receiverId);
bool DeleteUserEntry(TdmdMain &dm, int userId);
bool DeleteLogEntryAsked(TdmdMain &dm, int eventId);
// Asks "Are you sure you want to delete all entries?" when the log is not
// empty; true when the log was emptied.
bool DeleteAllLogsAsked(TdmdMain &dm);

// Account export: save dialog, the busy flag, ExportAccount, event and notice.
// True when the file was written.
bool ExportAccountCommand(TdmdMain &dm, int kovraId);
// Account import: open dialog (Import/ first, then the folder last chosen),
// ImportAccount, event and notice. True when imported; *importedId is the
// account now selected.
bool ImportAccountCommand(TdmdMain &dm, QString &lastFolder, int *importedId);

// The close request of the main window. Mode Unattended: "Please log in
// first." and false. Otherwise the quit question; on Yes the configuration is
// written and "Application Closed" logged, and true.
bool QuitRequested(TdmdMain &dm, int mode);

// Receiver description edited in place (at most 120 characters).
void SaveReceiverDescription(TdmdMain &dm, int receiverId, const QString &text);

// The user list query for a filter condition (empty: every user).
QString UserListQuery(const QString &filter);
QString AccountListQuery(const QString &orderBy);
QString ReceiverListQuery();
QString LogListQuery();

// "Local IP - " and the first one or two addresses of the host's own name.
QString LocalAddressText(const QStringList &addresses);

} // namespace kovra
