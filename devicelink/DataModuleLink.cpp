#include "DataModuleLink.h"
#include "TdmdCommunication.h"
#include "TdmdMain.h"

#include <QPointer>

namespace kovra {

void ConnectToDataModule(TdmdCommunication &link, TdmdMain &main)
{
    QPointer<TdmdMain> m(&main);
    // Asked at each use: the account database may be closed and opened again.
    link.setAccountDatabaseProvider([m] { return m ? m->accountDatabase() : QSqlDatabase(); });
    link.setLogWriter([m](int code, const QString &subject) {
        if (m)
            m->WriteLogEvent(code, subject);
    });
}

} // namespace kovra
