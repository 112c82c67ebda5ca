#pragma once
// A fresh installation folder: udb.kdb, bdb (empty account database),
// DB/dbKovraConsole.kdb, Export/, Import/, UPLOAD/ and KOVRACONSOLE.INI.
#include <QString>

namespace kovra {

// Creates the folder's contents. Returns an empty text on success, else the
// reason; refuses when udb.kdb already exists there (nothing is changed).
QString CreateInstallation(const QString &folder);

// Creates one empty database file with every table of its kind; refuses to
// overwrite. Empty text on success.
QString CreateUserDatabaseFile(const QString &path);
QString CreateAccountDatabaseFile(const QString &path);

} // namespace kovra
