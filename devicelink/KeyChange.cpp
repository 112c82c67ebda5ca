#include "KeyChange.h"
#include "LinkSettings.h"
#include "MessageDialogs.h"
#include "TdmdCommunication.h"

namespace kovra {

CommResult ProgramEncryptionKey(TdmdCommunication &link, const QSqlDatabase &db, int kovraId,
                                const QString &oldKey, const QString &newKey,
                                const std::function<void()> &edited)
{
    const QString o = oldKey.isEmpty() ? QString(32, QLatin1Char('0')) : oldKey.toUpper();
    const QString n = newKey.toUpper();
    const CommResult r = link.ChangeEncryptionKey(QStringLiteral("Changing Encryption Key. Please wait..."),
                                                  o.left(16), o.mid(16, 16), n.left(16), n.mid(16, 16));
    if (r != crOk)
        return r;
    // The module now holds the new key: a database that keeps the old one would
    // lock the console out of it.
    if (!StoreEncryptionKey(db, kovraId, n))
        ShowError(QStringLiteral("The new Encryption Key was programmed into the Kovra but could not be "
                                 "saved in the database. Please write it down: %1").arg(n));
    else if (n != o && edited)
        edited();
    return r;
}

} // namespace kovra
