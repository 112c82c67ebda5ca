// log list [--last N]
#include "CliContext.h"

#include "Schema.h"
#include "TdmdMain.h"

#include <QDateTime>
#include <QSqlQuery>

namespace kovra {

int RunLogCommand(CliContext &ctx, const QStringList &argsIn)
{
    QStringList args = argsIn;
    const QString synopsis = QStringLiteral("log list [--last N]");
    if (args.isEmpty() || args.takeFirst() != QLatin1String("list"))
        return ctx.usage(synopsis);
    ctx.setCommandName(QStringLiteral("log list"));
    QString lastText;
    bool missing = false;
    int last = -1;
    if (TakeOption(args, QStringLiteral("--last"), &lastText, &missing)) {
        bool ok = false;
        last = lastText.toInt(&ok);
        if (!ok || last < 0)
            return ctx.usage(synopsis);
    }
    if (missing || !args.isEmpty())
        return ctx.usage(synopsis);
    if (int rc = ctx.begin(CliAccess::AnyUser, false))
        return rc;

    QString sql = QStringLiteral("SELECT Event_ID, EventTime, User, Event, EventDescription FROM tblLog");
    QVariantList values;
    if (last >= 0) {
        sql = QStringLiteral("SELECT * FROM (%1 ORDER BY Event_ID DESC LIMIT ?) ORDER BY Event_ID").arg(sql);
        values << last;
    } else {
        sql += QStringLiteral(" ORDER BY Event_ID");
    }
    QSqlQuery q = RunSql(ctx.db().userDatabase(), sql, values);
    QList<QStringList> rows;
    while (q.next()) {
        const QVariant t = q.value(1);
        const QDateTime when = t.toDateTime();
        rows << QStringList{q.value(0).toString(),
                            when.isValid() ? when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : t.toString(),
                            q.value(2).toString(), q.value(3).toString(), q.value(4).toString()};
    }
    ctx.printTable({QStringLiteral("Event_ID"), QStringLiteral("EventTime"), QStringLiteral("User"),
                    QStringLiteral("Event"), QStringLiteral("EventDescription")},
                   rows);
    return ExitOk;
}

} // namespace kovra
