#include "DatabaseMaintenance.h"
#include "KovraHome.h"
#include "LoginState.h"
#include "MainWindowHooks.h"
#include "MessageDialogs.h"
#include "TdmdMain.h"
#include "Trace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <zip.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace kovra {

namespace {
std::atomic<int> g_busy{0};
std::atomic<bool> g_archiveError{false};
WaitCursorHook g_waitCursor = nullptr;

QString zipErrorText(int code)
{
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&e));
    zip_error_fini(&e);
    return text;
}

QString zipErrorText(zip_t *za)
{
    return QString::fromLocal8Bit(zip_error_strerror(zip_get_error(za)));
}

int zipErrorCode(zip_t *za)
{
    const int c = zip_error_code_zip(zip_get_error(za));
    return c == ZIP_ER_OK ? ZIP_ER_INTERNAL : c;
}

// Replaces `target` by `source` in one step where the file system allows it.
bool replaceFile(const QString &source, const QString &target)
{
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0)
        return true;
    QFile::remove(target);
    return QFile::copy(source, target);
}
} // namespace

// ---- Flags --------------------------------------------------------------------

bool ConsoleBusy() { return g_busy.load() > 0; }

void SetConsoleBusy(bool busy)
{
    // Nested scopes (a backup that compacts first) keep the flag until the outer one ends.
    if (busy)
        ++g_busy;
    else if (g_busy.load() > 0)
        --g_busy;
}

void SetWaitCursorHook(WaitCursorHook hook) { g_waitCursor = hook; }
WaitCursorScope::WaitCursorScope()
{
    if (g_waitCursor)
        g_waitCursor(true);
}
WaitCursorScope::~WaitCursorScope()
{
    if (g_waitCursor)
        g_waitCursor(false);
}

bool ArchiveErrorFlag() { return g_archiveError.load(); }
void ClearArchiveErrorFlag() { g_archiveError = false; }

void ArchiveMessage(int errorCode, const QString &text)
{
    if (errorCode != 0 || text.contains(QLatin1String("warnings were given")))
        g_archiveError = true;
    KOVRA_TRACE(QStringLiteral("ZipMessage : ") + text);
    if (errorCode != 0)
        KOVRA_TRACE(QStringLiteral("ZipMessage : ErrorCode ") + QString::number(errorCode));
}

// ---- Compaction ---------------------------------------------------------------

QString CompactTempName(const QString &file)
{
    // Counted within the file name, so that a short name ("bdb") keeps its folder.
    const int nameStart = int(file.lastIndexOf('/')) + 1;
    const int keep = qMax(nameStart, int(file.size()) - 4);
    return file.left(keep) + QStringLiteral("_TEMP") + file.mid(keep);
}

bool CompactDatabaseFile(const QString &file, QString *error)
{
    const QString temp = CompactTempName(file);
    if (QFileInfo::exists(temp) && !QFile::remove(temp)) {
        if (error)
            *error = QStringLiteral("cannot delete %1").arg(temp);
        return false;
    }
    bool ok = false;
    QString text;
    if (!QFileInfo(file).isFile()) {
        // SQLite would create an empty database in its place.
        text = QStringLiteral("%1 does not exist").arg(file);
    } else {
        const QString name = QStringLiteral("kovra_compact_") + QUuid::createUuid().toString(QUuid::Id128);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(file);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));   // a locked file fails at once
            if (!db.open()) {
                text = db.lastError().text();
            } else {
                QSqlQuery q(db);
                // The rebuild reads every table and writes fresh indexes, which
                // is the repair; a table that cannot be read makes it fail.
                q.prepare(QStringLiteral("VACUUM INTO ?"));
                q.addBindValue(temp);
                ok = q.exec();
                if (!ok)
                    text = q.lastError().text();
                q.finish();
                // The result must itself be sound before it replaces the original.
                if (ok && (!q.exec(QStringLiteral("ATTACH DATABASE '") + QString(temp).replace('\'', QStringLiteral("''"))
                                   + QStringLiteral("' AS rebuilt"))
                           || !q.exec(QStringLiteral("PRAGMA rebuilt.quick_check")) || !q.next()
                           || q.value(0).toString() != QLatin1String("ok"))) {
                    ok = false;
                    text = q.lastError().isValid() ? q.lastError().text()
                                                   : QStringLiteral("check of the rebuilt file: ") + q.value(0).toString();
                }
                q.finish();
                QSqlQuery(db).exec(QStringLiteral("DETACH DATABASE rebuilt"));
                q.finish();
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(name);
    }
    if (ok && !replaceFile(temp, file)) {
        ok = false;
        text = QStringLiteral("cannot replace %1").arg(file);
    }
    for (const QString &leftover : {temp, temp + QStringLiteral("-wal"), temp + QStringLiteral("-shm"),
                                    temp + QStringLiteral("-journal")}) {
        if (QFileInfo::exists(leftover))
            QFile::remove(leftover);
    }
    if (!ok && error)
        *error = text;
    return ok;
}

// ---- Archives -----------------------------------------------------------------

QString ProposedBackupName(const QString &databasePath, const QDateTime &now)
{
    const QString name = QFileInfo(databasePath).fileName();
    return QStringLiteral("KovraConsole Database Backup -") + name.left(qMax(0, int(name.size()) - 4))
        + now.toString(QStringLiteral("yyMMdd-hhmmss")) + QStringLiteral(".zip");
}

bool CreateBackupArchive(const QString &archive, const QString &file)
{
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(archive).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za) {
        ArchiveMessage(err, zipErrorText(err));
        return false;
    }
    const QByteArray entry = QFileInfo(file).fileName().toUtf8();
    zip_source_t *src = zip_source_file(za, QFile::encodeName(file).constData(), 0, -1);
    zip_int64_t index = -1;
    if (src) {
        index = zip_file_add(za, entry.constData(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
        if (index < 0)
            zip_source_free(src);
    }
    if (index < 0 || zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_DEFLATE, 9) < 0) {
        ArchiveMessage(zipErrorCode(za), zipErrorText(za));
        zip_discard(za);
        QFile::remove(archive);
        return false;
    }
    // The file is read and compressed here; libzip writes a temporary file and
    // renames it, so a failure leaves no half archive under the chosen name.
    if (zip_close(za) < 0) {
        ArchiveMessage(zipErrorCode(za), zipErrorText(za));
        zip_discard(za);
        return false;
    }
    return true;
}

ArchiveListing ReadArchiveEntries(const QString &archive)
{
    ArchiveListing out;
    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
    if (!za) {
        out.error = zipErrorText(err);
        return out;
    }
    out.opened = true;
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        const char *name = zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        out.entries.append(name ? QString::fromUtf8(name) : QString());
    }
    zip_discard(za);
    return out;
}

bool IsSafeEntryName(const QString &name)
{
    if (name.isEmpty() || name.startsWith('/') || name.startsWith('\\') || name.contains(QChar(0)))
        return false;
    if (name.size() >= 2 && name.at(1) == ':')   // "C:..." from a Windows archiver
        return false;
    QString n = name;
    n.replace('\\', '/');
    for (const QString &part : n.split('/')) {
        if (part == QLatin1String(".."))
            return false;
    }
    return true;
}

namespace {

bool isLinkEntry(zip_t *za, zip_uint64_t index)
{
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(za, index, 0, &opsys, &attributes) < 0)
        return false;
    if (opsys != ZIP_OPSYS_UNIX)
        return false;
    return ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

// Whether `path`'s existing folder lies inside `root` once links are resolved.
bool insideRoot(const QString &root, const QString &dir)
{
    const QString canon = QFileInfo(dir).canonicalFilePath();
    return !canon.isEmpty() && (canon == root || canon.startsWith(root + '/'));
}

struct PendingFile {
    QString target;
    std::unique_ptr<QSaveFile> file;
};

} // namespace

ExtractResult ExtractArchive(const QString &archive, const QString &folder, QString *error)
{
    auto fail = [error](ExtractResult r, const QString &text) {
        if (error)
            *error = text;
        return r;
    };
    const QString root = QFileInfo(folder).canonicalFilePath();
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return fail(ExtractResult::Failed, QStringLiteral("%1 is not a folder").arg(folder));

    int err = 0;
    zip_t *za = zip_open(QFile::encodeName(archive).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
    if (!za)
        return fail(ExtractResult::Failed, zipErrorText(err));
    struct Closer { zip_t *z; ~Closer() { zip_discard(z); } } closer{za};

    const zip_int64_t n = zip_get_num_entries(za, 0);
    QStringList names;
    // Every name is checked before anything is written.
    for (zip_int64_t i = 0; i < n; ++i) {
        const char *raw = zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        const QString name = raw ? QString::fromUtf8(raw) : QString();
        if (!IsSafeEntryName(name) || isLinkEntry(za, zip_uint64_t(i)))
            return fail(ExtractResult::Unsafe, QStringLiteral("unsafe entry name: %1").arg(name));
        names.append(QString(name).replace('\\', '/'));
    }

    QStringList createdDirs;
    auto removeCreatedDirs = [&createdDirs]() {
        for (auto it = createdDirs.crbegin(); it != createdDirs.crend(); ++it)
            QDir().rmdir(*it);
    };
    auto ensureDir = [&](const QString &dir) {
        QStringList missing;
        for (QString d = dir; !QFileInfo::exists(d) && d.startsWith(root + '/'); d = QFileInfo(d).path())
            missing.prepend(d);
        for (const QString &d : missing) {
            if (!QDir().mkdir(d))
                return false;
            createdDirs.append(d);
            if (!insideRoot(root, d))
                return false;
        }
        return insideRoot(root, dir);
    };

    std::vector<PendingFile> pending;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    for (zip_int64_t i = 0; i < n; ++i) {
        const QString &name = names[int(i)];
        const QString target = root + '/' + name;
        if (name.endsWith('/')) {
            if (!ensureDir(QDir::cleanPath(target))) {
                removeCreatedDirs();
                return fail(ExtractResult::Unsafe, QStringLiteral("folder outside the target: %1").arg(name));
            }
            continue;
        }
        const QString dir = QFileInfo(target).path();
        if (!ensureDir(dir)) {
            removeCreatedDirs();
            return fail(ExtractResult::Unsafe, QStringLiteral("folder outside the target: %1").arg(name));
        }
        if (QFileInfo(target).isSymLink()) {
            // Saving over a link would write wherever it points.
            pending.clear();
            removeCreatedDirs();
            return fail(ExtractResult::Unsafe, QStringLiteral("entry replaces a link: %1").arg(name));
        }
        PendingFile p;
        p.target = target;
        p.file = std::make_unique<QSaveFile>(target);
        p.file->setDirectWriteFallback(false);
        bool ok = p.file->open(QIODevice::WriteOnly);
        QString text = ok ? QString() : p.file->errorString();
        zip_file_t *zf = ok ? zip_fopen_index(za, zip_uint64_t(i), 0) : nullptr;
        if (ok && !zf) {
            ok = false;
            text = zipErrorText(za);
        }
        while (ok) {
            const zip_int64_t got = zip_fread(zf, buffer.data(), zip_uint64_t(buffer.size()));
            if (got < 0) {
                ok = false;
                text = QString::fromLocal8Bit(zip_error_strerror(zip_file_get_error(zf)));
            } else if (got == 0) {
                break;
            } else if (p.file->write(buffer.constData(), got) != got) {
                ok = false;
                text = p.file->errorString();
            }
        }
        if (zf && zip_fclose(zf) != 0 && ok) {
            ok = false;
            text = QStringLiteral("checksum error in %1").arg(name);
        }
        if (!ok) {
            p.file->cancelWriting();
            pending.clear();   // discards every temporary file written so far
            removeCreatedDirs();
            return fail(ExtractResult::Failed, text);
        }
        pending.push_back(std::move(p));
    }
    for (PendingFile &p : pending) {
        if (!p.file->commit())
            return fail(ExtractResult::Failed, p.file->errorString());
        // A log left beside the replaced database by a crash would be replayed
        // into the restored one.
        for (const char *side : {"-wal", "-shm", "-journal"})
            QFile::remove(p.target + QLatin1String(side));
    }
    return ExtractResult::Ok;
}

// ---- Command flows ----------------------------------------------------------------

namespace {

const int Lifetime = -5000;
QString g_backupFolder;
QString g_restoreFolder;

QString dbFolder() { return HomePath(QStringLiteral("DB")); }
QString databaseFilter() { return QStringLiteral("Kovra Console Database (*.kdb)"); }
QString backupFilter() { return QStringLiteral("Database Backup Files (*.zip)"); }

int appliedMode()
{
    if (MainWindowHooks *w = MainWindow())
        return w->mode();
    return Login().CurrentMode;
}

void setLabel(const QString &text)
{
    if (MainWindowHooks *w = MainWindow())
        w->setCurrentDatabaseLabel(text);
}

void applyOpenedMode(const QString &path)
{
    setLabel(path);
    if (Login().CurrentMode == ModeNoDatabase)
        Login().CurrentMode = Login().CurrentUserType;
    if (MainWindowHooks *w = MainWindow())
        w->setMode(Login().CurrentMode);
}

// The mode shows No Database; CurrentMode keeps its value for the next open.
void applyNoDatabase(const QString &label)
{
    setLabel(label);
    if (MainWindowHooks *w = MainWindow())
        w->setMode(ModeNoDatabase);
}

// OpenDatabase as the maintenance steps run it: an engine error is shown and
// counts as not open.
bool reopenDatabase(TdmdMain &dm)
{
    try {
        return dm.OpenDatabase();
    } catch (const DatabaseError &e) {
        ShowError(e.text());
        return false;
    }
}

bool sameFile(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo fa(a), fb(b);
    if (QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath()))
        return true;
    const QString ca = fa.canonicalFilePath();
    return !ca.isEmpty() && ca == fb.canonicalFilePath();
}

FileDialogRequest databaseDialog(const QString &title)
{
    FileDialogRequest r;
    r.title = title;
    r.folder = dbFolder();
    r.filter = databaseFilter();
    return r;
}

} // namespace

QString LastBackupFolder() { return g_backupFolder; }
QString LastRestoreFolder() { return g_restoreFolder; }

OpenOutcome OpenDatabaseCommand(TdmdMain &dm)
{
    FileDialogRequest r = databaseDialog(QStringLiteral("Open Database"));
    r.mustExist = true;
    const QString chosen = OpenFileName(r);
    if (chosen.isEmpty()) {
        dm.OpenUserDatabase();
        return OpenOutcome::Cancelled;
    }
    return OpenDatabaseFile(dm, chosen);
}

OpenOutcome OpenDatabaseFile(TdmdMain &dm, const QString &path)
{
    dm.CloseDatabase();
    dm.SetCurrentDatabasePath(path);
    bool opened = false;
    bool raised = false;
    try {
        opened = dm.OpenDatabase();
    } catch (const DatabaseError &) {
        raised = true;
    }
    dm.setNeedsDatabase(false);
    OpenOutcome out = OpenOutcome::Opened;
    if (opened) {
        applyOpenedMode(dm.CurrentDatabasePath());
    } else {
        applyNoDatabase(QStringLiteral("No Database loaded."));
        ShowTimedError(QStringLiteral("An error occurred while opening the Database."), Lifetime);
        if (raised)
            dm.setNeedsDatabase(true);
        out = OpenOutcome::NotOpened;
    }
    dm.OpenUserDatabase();
    return out;
}

OpenOutcome CreateDatabaseCommand(TdmdMain &dm)
{
    FileDialogRequest r = databaseDialog(QStringLiteral("Create New Database"));
    r.defaultSuffix = QStringLiteral("kdb");
    r.confirmOverwrite = true;
    const QString chosen = SaveFileName(r);
    if (chosen.isEmpty()) {
        dm.OpenUserDatabase();
        return OpenOutcome::Cancelled;
    }
    return CreateDatabaseFile(dm, chosen);
}

OpenOutcome CreateDatabaseFile(TdmdMain &dm, const QString &path)
{
    // The same file under another spelling would be overwritten just as well.
    if (sameFile(path, dm.CurrentDatabasePath())) {
        ShowTimedError(QStringLiteral("Cannot overwrite current Database."), Lifetime);
        dm.OpenUserDatabase();
        return OpenOutcome::Refused;
    }
    // Copy beside the target first, so a failed copy leaves an existing file as it was.
    const QString partial = path + QStringLiteral(".part");
    QFile::remove(partial);
    bool copied = QFile::copy(HomePath(QStringLiteral("bdb")), partial)
        && QFile::setPermissions(partial, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                              | QFileDevice::ReadGroup | QFileDevice::ReadOther)
        && replaceFile(partial, path);
    QFile::remove(partial);
    if (!copied) {
        ShowTimedError(QStringLiteral("Could not create the Database."), Lifetime);
        dm.OpenUserDatabase();
        return OpenOutcome::CreateFailed;
    }
    ShowInfo(QStringLiteral("The new Database was created."));
    dm.CloseDatabase();
    dm.SetCurrentDatabasePath(path);
    bool opened = false;
    try {
        opened = dm.OpenDatabase();
    } catch (const DatabaseError &) {
        ShowTimedError(QStringLiteral("Error Opening Created Database."), Lifetime);
    }
    if (opened)
        applyOpenedMode(dm.CurrentDatabasePath());
    else
        applyNoDatabase(QStringLiteral("Error Loading New Database."));
    dm.OpenUserDatabase();
    return opened ? OpenOutcome::Opened : OpenOutcome::NotOpened;
}

int CompactAndRepairDatabase(TdmdMain &dm, const QString &file)
{
    const bool noDatabase = appliedMode() == ModeNoDatabase;
    int result = 0;
    {
        ProgressScope progress(QString(), false);
        if (!noDatabase)
            dm.CloseDatabase();
        QString error;
        if (CompactDatabaseFile(file, &error)) {
            result = 1;
        } else {
            KOVRA_TRACE(QStringLiteral("Compact and repair of %1 failed: %2").arg(file, error));
            ShowTimedError(QStringLiteral("Compacting and repairing the Database has failed."), Lifetime);
        }
    }
    if (!noDatabase)
        reopenDatabase(dm);
    dm.OpenUserDatabase();
    return result;
}

CompactOutcome CompactCommand(TdmdMain &dm)
{
    FileDialogRequest r = databaseDialog(QStringLiteral("Select Database to Compact And Repair"));
    r.mustExist = true;
    const QString chosen = OpenFileName(r);
    if (chosen.isEmpty())
        return CompactOutcome::Cancelled;
    return CompactChosenFile(dm, chosen);
}

CompactOutcome CompactChosenFile(TdmdMain &dm, const QString &file)
{
    const QString done = QStringLiteral("User Database compacted and repaired sucessfully.");
    if (QFileInfo(file).fileName() == QLatin1String("udb.kdb")) {
        if (!CompactAndRepairDatabase(dm, file))
            return CompactOutcome::Failed;
        ShowTimedInfo(done, Lifetime);
        return CompactOutcome::Compacted;
    }
    if (!CompactAndRepairDatabase(dm, file))
        return CompactOutcome::Failed;
    if (AskQuestion(QStringLiteral("Database Compact and Repair"),
                    QStringLiteral("Database compacted and repaired succesfully. Do you wish to Compact and "
                                   "Repair the User Database as well?"),
                    MessageKind::YesNo))
        return CompactOutcome::Compacted;
    if (!CompactAndRepairDatabase(dm, HomePath(QStringLiteral("udb.kdb"))))
        return CompactOutcome::Compacted;
    ShowTimedInfo(done, Lifetime);
    return CompactOutcome::CompactedWithUserDatabase;
}

BackupOutcome BackupCommand(TdmdMain &dm)
{
    if (!dm.databaseOpen()) {
        ShowTimedError(QStringLiteral("No Database Loaded."), Lifetime);
        return BackupOutcome::NoDatabase;
    }
    if (!CompactAndRepairDatabase(dm, dm.CurrentDatabasePath()))
        return BackupOutcome::CompactFailed;
    FileDialogRequest r;
    r.title = QStringLiteral("Database Backup");
    r.folder = g_backupFolder.isEmpty() ? dbFolder() : g_backupFolder;
    r.fileName = ProposedBackupName(dm.CurrentDatabasePath(), QDateTime::currentDateTime());
    r.filter = backupFilter();
    r.defaultSuffix = QStringLiteral("zip");
    r.confirmOverwrite = true;
    const QString chosen = SaveFileName(r);
    if (chosen.isEmpty())
        return BackupOutcome::Cancelled;
    return BackupToArchive(dm, chosen);
}

BackupOutcome BackupToArchive(TdmdMain &dm, const QString &archive)
{
    if (!dm.databaseOpen()) {
        ShowTimedError(QStringLiteral("No Database Loaded."), Lifetime);
        return BackupOutcome::NoDatabase;
    }
    const QString database = dm.CurrentDatabasePath();
    BackupOutcome out = BackupOutcome::Failed;
    {
        WaitCursorScope cursor;
        ConsoleBusyScope busy;
        ProgressScope progress(QString(), false);
        dm.CloseDatabase();
        if (QFileInfo::exists(archive) && !QFile::remove(archive)) {
            ShowTimedError(QStringLiteral("Database Backup failed."), Lifetime);
            reopenDatabase(dm);
            dm.OpenUserDatabase();
            return BackupOutcome::Failed;
        }
        g_backupFolder = QFileInfo(archive).absolutePath();
        ClearArchiveErrorFlag();
        CreateBackupArchive(archive, database);
        reopenDatabase(dm);
        dm.OpenUserDatabase();
        dm.WriteLogEvent(9, database);
        if (ArchiveErrorFlag()) {
            ShowTimedError(QStringLiteral("Database Backup failed."), Lifetime);
        } else {
            ShowTimedInfo(QStringLiteral("Database Backup finished successfully."), Lifetime);
            out = BackupOutcome::Succeeded;
        }
    }
    if (!dm.databaseOpen())
        reopenDatabase(dm);
    if (!dm.userDatabaseOpen())
        dm.OpenUserDatabase();
    return out;
}

RestoreOutcome RestoreCommand(TdmdMain &dm)
{
    if (AskQuestion(QStringLiteral("Confirmation"),
                    QStringLiteral("You are about to restore the Database. All current data will be replaced. Do you "
                                   "want to continue?"),
                    MessageKind::YesNo))
        return RestoreOutcome::Declined;
    FileDialogRequest r;
    r.title = QStringLiteral("Database Restore");
    r.folder = g_restoreFolder.isEmpty() ? dbFolder() : g_restoreFolder;
    r.filter = backupFilter();
    r.mustExist = true;
    const QString chosen = OpenFileName(r);
    if (chosen.isEmpty())
        return RestoreOutcome::Cancelled;
    return RestoreFromArchive(dm, chosen, QString());
}

RestoreOutcome RestoreFromArchive(TdmdMain &dm, const QString &archive, const QString &folder)
{
    g_restoreFolder = QFileInfo(archive).absolutePath();
    RestoreOutcome out = RestoreOutcome::NotValid;
    {
        ConsoleBusyScope busy;   // set from here on: the steps below may wait on dialogs
        const ArchiveListing listing = ReadArchiveEntries(archive);
        if (!listing.opened) {
            // A truncated or damaged archive cannot even be listed.
            ArchiveMessage(1, listing.error);
            ShowTimedError(QStringLiteral("Database not restored."), Lifetime);
            out = RestoreOutcome::NotRestored;
        } else if (listing.entries.isEmpty()) {
            ShowTimedError(QStringLiteral("Database archive file is not valid."), Lifetime);
        } else {
            const QString target = folder.isEmpty()
                ? SelectFolder(QStringLiteral("Please select folder to extract Database to."), dbFolder())
                : folder;
            dm.CloseDatabase();
            const QString entry = listing.entries.first();
            if (target.isEmpty()) {
                out = RestoreOutcome::NoFolder;
            } else if (QFileInfo(entry).suffix().toLower() == QLatin1String("kdb") && !entry.endsWith('/')) {
                WaitCursorScope cursor;
                ClearArchiveErrorFlag();
                QString error;
                const ExtractResult x = ExtractArchive(archive, target, &error);
                if (x != ExtractResult::Ok)
                    ArchiveMessage(1, error);
                if (x == ExtractResult::Unsafe) {
                    // Names that would land outside the folder: refused, nothing written.
                    ShowTimedError(QStringLiteral("Database archive file is not valid."), Lifetime);
                } else if (ArchiveErrorFlag()) {
                    ShowTimedError(QStringLiteral("Database not restored."), Lifetime);
                    out = RestoreOutcome::NotRestored;
                } else {
                    if (MainWindowHooks *w = MainWindow()) {
                        w->logOut(true);
                    } else {
                        Login().CurrentUserType = ModeUnattended;
                        Login().CurrentMode = ModeUnattended;
                    }
                    ShowTimedInfo(QStringLiteral("Database restored successfully.\r\nPlease log in to view the "
                                                 "restored Database."),
                                  Lifetime);
                    dm.setNeedsDatabase(true);
                    dm.OpenUserDatabase();
                    dm.WriteLogEvent(8, entry);
                    return RestoreOutcome::Restored;
                }
            } else {
                ShowTimedError(QStringLiteral("Database archive file is not valid."), Lifetime);
            }
        }
    }
    dm.OpenUserDatabase();
    if (appliedMode() != ModeNoDatabase)
        reopenDatabase(dm);
    return out;
}

} // namespace kovra
