#pragma once
// Maintenance of the database files: compaction, backup into a ZIP archive and
// restore from one. The file operations here know nothing of windows; the
// command flows (questions, messages, log events, modes) are further down.
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kovra {

// ---- Busy flag -------------------------------------------------------------
// Set while a long operation (backup, restore, account export or import) runs;
// the auto-logout leaves the console alone while it is set.
bool ConsoleBusy();
void SetConsoleBusy(bool busy);

class ConsoleBusyScope {
public:
    ConsoleBusyScope() { SetConsoleBusy(true); }
    ~ConsoleBusyScope() { SetConsoleBusy(false); }
    ConsoleBusyScope(const ConsoleBusyScope &) = delete;
    ConsoleBusyScope &operator=(const ConsoleBusyScope &) = delete;
};

// ---- Wait cursor ---------------------------------------------------------------
// The hourglass while archives are written or read; the window layer installs
// the hook (nothing happens without one).
using WaitCursorHook = void (*)(bool on);
void SetWaitCursorHook(WaitCursorHook hook);

class WaitCursorScope {
public:
    WaitCursorScope();
    ~WaitCursorScope();
    WaitCursorScope(const WaitCursorScope &) = delete;
    WaitCursorScope &operator=(const WaitCursorScope &) = delete;
};

// ---- Archive error flag ----------------------------------------------------
// Set by any archive message with an error code (or one that says "warnings
// were given"); cleared before each archive run.
bool ArchiveErrorFlag();
void ClearArchiveErrorFlag();
// The archive component's message handler; also writes the trace lines.
void ArchiveMessage(int errorCode, const QString &text);

// ---- Compaction ------------------------------------------------------------
// "acc.kdb" -> "acc_TEMP.kdb": the last four characters stay at the end.
QString CompactTempName(const QString &file);
// Rebuilds `file` through SQLite into the temporary file and moves the result
// over the original. The temporary file never outlives the call. `error` gets
// the engine's text on failure.
bool CompactDatabaseFile(const QString &file, QString *error = nullptr);

// ---- Backup and restore archives --------------------------------------------
// "KovraConsole Database Backup -" + database file name without its last four
// characters + yyMMdd + "-" + hhmmss + ".zip".
QString ProposedBackupName(const QString &databasePath, const QDateTime &now);

// One entry (the file's name without folders), deflated at level 9, no
// password. Failures go through ArchiveMessage; returns false when any occurred.
bool CreateBackupArchive(const QString &archive, const QString &file);

struct ArchiveListing {
    bool opened = false;       // false: not a readable ZIP archive (truncated, corrupt, missing)
    QString error;             // the archive library's text when not opened
    QStringList entries;       // entry names in archive order
};
ArchiveListing ReadArchiveEntries(const QString &archive);

enum class ExtractResult {
    Ok,
    Unsafe,   // an entry would land outside the folder (absolute, "..", link); nothing written
    Failed,   // reading or writing failed; nothing of the archive left in the folder
};
// Extracts every entry into `folder`, replacing existing files. Each entry is
// written to a temporary file first; files are moved into place only when all
// entries were read completely and their checksums matched.
ExtractResult ExtractArchive(const QString &archive, const QString &folder, QString *error = nullptr);

// Whether an entry name stays inside the folder it is extracted into.
bool IsSafeEntryName(const QString &name);

// ---- Command flows ------------------------------------------------------------
// The maintenance commands of the main window. They talk to the user through
// the dialog seam, write the log events, and apply mode changes and the
// database label through MainWindow() when a main window exists.

class TdmdMain;

enum class OpenOutcome {
    Cancelled,     // the dialog was cancelled; nothing changed
    Opened,        // the account database is open
    NotOpened,     // it could not be opened; mode No Database
    Refused,       // create: the chosen path is the open database
    CreateFailed,  // create: the template could not be copied
};

// Open Database: the open dialog, then OpenDatabaseFile.
OpenOutcome OpenDatabaseCommand(TdmdMain &dm);
OpenOutcome OpenDatabaseFile(TdmdMain &dm, const QString &path);
// Create New Database: the save dialog, then CreateDatabaseFile.
OpenOutcome CreateDatabaseCommand(TdmdMain &dm);
OpenOutcome CreateDatabaseFile(TdmdMain &dm, const QString &path);

// 1 on success, 0 on failure (the failure notice shown). Closes and reopens the
// databases around the compaction unless the console is in mode No Database.
int CompactAndRepairDatabase(TdmdMain &dm, const QString &file);

enum class CompactOutcome { Cancelled, Failed, Compacted, CompactedWithUserDatabase };
CompactOutcome CompactCommand(TdmdMain &dm);
CompactOutcome CompactChosenFile(TdmdMain &dm, const QString &file);

enum class BackupOutcome { NoDatabase, CompactFailed, Cancelled, Failed, Succeeded };
BackupOutcome BackupCommand(TdmdMain &dm);
// Steps after the dialog: archive the account database into `archive`.
BackupOutcome BackupToArchive(TdmdMain &dm, const QString &archive);

enum class RestoreOutcome { Declined, Cancelled, NotValid, NoFolder, NotRestored, Restored };
RestoreOutcome RestoreCommand(TdmdMain &dm);
// Steps after the confirmation: `folder` empty means the folder dialog asks.
RestoreOutcome RestoreFromArchive(TdmdMain &dm, const QString &archive, const QString &folder);

// Folders the backup and restore dialogs remember within one run.
QString LastBackupFolder();
QString LastRestoreFolder();

} // namespace kovra
