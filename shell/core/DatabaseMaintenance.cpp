#include "DatabaseMaintenance.h"
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
    const int keep = qMax(0, int(file.size()) - 4);
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
            if (!db.open()) {
                text = db.lastError().text();
            } else {
                QSqlQuery q(db);
                // Integrity first: VACUUM copies what it can read, and a broken
                // file must not silently replace the original.
                if (!q.exec(QStringLiteral("PRAGMA integrity_check")) || !q.next()
                    || q.value(0).toString() != QLatin1String("ok")) {
                    text = q.lastError().isValid() ? q.lastError().text()
                                                   : QStringLiteral("integrity check: ") + q.value(0).toString();
                } else {
                    q.finish();
                    q.prepare(QStringLiteral("VACUUM INTO ?"));
                    q.addBindValue(temp);
                    ok = q.exec();
                    if (!ok)
                        text = q.lastError().text();
                }
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
    if (QFileInfo::exists(temp))
        QFile::remove(temp);
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
    }
    return ExtractResult::Ok;
}

} // namespace kovra
