// user add LOGIN --type 1|2|3 --first F --last L [--expires YYYY-MM-DD], user list
#include "CliContext.h"

#include "LoginState.h"
#include "Schema.h"
#include "TdmdMain.h"
#include "TerminalDialogs.h"
#include "UserEditor.h"

#include <QSqlQuery>
#include <unistd.h>

namespace kovra {
namespace {

const char *const kAddSynopsis = "user add LOGIN --type 1|2|3 --first F --last L [--expires YYYY-MM-DD]";

int userAdd(CliContext &ctx, QStringList args)
{
    QString typeText, first, last, expires;
    bool missing = false;
    const bool hasType = TakeOption(args, "--type", &typeText, &missing);
    TakeOption(args, "--first", &first, &missing);
    TakeOption(args, "--last", &last, &missing);
    const bool hasExpires = TakeOption(args, "--expires", &expires, &missing);
    bool typeOk = false;
    const int type = typeText.toInt(&typeOk);
    const QDate expireDate = hasExpires ? QDate::fromString(expires, Qt::ISODate) : QDate::currentDate();
    if (missing || !hasType || !typeOk || type < 1 || type > 3 || args.size() != 1
        || args.first().startsWith(QLatin1String("--")) || !expireDate.isValid())
        return ctx.usage(QString::fromLatin1(kAddSynopsis));
    if (int rc = ctx.begin(CliAccess::Users))
        return rc;

    UserEditor editor(ctx.db(), UserEditor::Add, Login().CurrentUserType);
    UserInput in;
    editor.load(in);
    in.typeIndex = -1;
    for (int i = 0; i < editor.typeChoices().size(); ++i)
        if (editor.typeChoices().at(i).type == type)
            in.typeIndex = i;
    if (in.typeIndex < 0) {
        if (type == ModeSupervisor)
            return ctx.refuse(QStringLiteral("Only the built-in service login may add a Supervisor."));
        return ctx.refuse(QStringLiteral("A %1 may not add a user of type %2.")
                              .arg(UserTypeName(Login().CurrentUserType), UserTypeName(type)));
    }
    in.loginName = args.first();
    in.firstName = first;
    in.lastName = last;
    in.expireDate = expireDate;
    if (qEnvironmentVariableIsSet("KOVRA_NEW_PASSWORD")) {
        in.password = in.verifyPassword = qEnvironmentVariable("KOVRA_NEW_PASSWORD");
    } else {
        in.password = TerminalDialogs::readSecret(QStringLiteral("Password for %1: ").arg(in.loginName));
        in.verifyPassword = isatty(STDIN_FILENO)
            ? TerminalDialogs::readSecret(QStringLiteral("Re-enter Password: "))
            : in.password;
    }
    if (!editor.save(in).saved)
        return ExitRefused;
    ctx.out() << UserTypeName(type) << " " << in.loginName << " added; the password expires on "
              << expireDate.toString(Qt::ISODate) << '\n';
    return ExitOk;
}

int userList(CliContext &ctx, const QStringList &args)
{
    if (!args.isEmpty())
        return ctx.usage(QStringLiteral("user list"));
    if (int rc = ctx.begin(CliAccess::Users))
        return rc;
    // The main window's filter per mode; the service login sees everyone.
    QString filter;
    if (!Login().ServiceLogin)
        filter = Login().CurrentMode == ModeSupervisor ? QStringLiteral(" WHERE UserType <> 1")
                                                       : QStringLiteral(" WHERE UserType <> 1 AND UserType <> 2");
    QSqlQuery q = RunSql(ctx.db().userDatabase(),
                         QStringLiteral("SELECT User_ID, UserLoginName, UserFirstName, UserLastName, UserType, "
                                        "UserExpireDate FROM tblUser%1 ORDER BY User_ID")
                             .arg(filter));
    QList<QStringList> rows;
    while (q.next())
        rows << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                            q.value(3).toString(), UserTypeName(q.value(4).toInt()),
                            ReadStoredDate(q.value(5)).toString(Qt::ISODate)};
    ctx.printTable({"User_ID", "UserLoginName", "UserFirstName", "UserLastName", "UserTypeName", "UserExpireDate"},
                   rows);
    return ExitOk;
}

} // namespace

int RunUserCommand(CliContext &ctx, const QStringList &argsIn)
{
    QStringList args = argsIn;
    const QString sub = args.isEmpty() ? QString() : args.takeFirst();
    ctx.setCommandName(QStringLiteral("user ") + sub);
    if (sub == QLatin1String("add"))
        return userAdd(ctx, args);
    if (sub == QLatin1String("list"))
        return userList(ctx, args);
    ctx.setCommandName(QStringLiteral("user"));
    return ctx.usage(QStringLiteral("user add|list ..."));
}

} // namespace kovra
