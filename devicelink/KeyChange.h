#pragma once
// The key change as the key window runs it: program the module through the
// old, intermediate and new keys, and store the new key only when that worked.
#include "CommResult.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace kovra {

class TdmdCommunication;

// The link must already carry host, port, installer code and account. On crOk the
// account's KovraKey and options 004/005 take newKey; when it differs from oldKey,
// `edited` is called (the caller writes "Kovra Account Edit" on its first change).
CommResult ProgramEncryptionKey(TdmdCommunication &link, const QSqlDatabase &db, int kovraId,
                                const QString &oldKey, const QString &newKey,
                                const std::function<void()> &edited = {});

} // namespace kovra
