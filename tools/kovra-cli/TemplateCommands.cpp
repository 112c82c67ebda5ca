// template new GENERATION FILE, template show FILE
#include "CliContext.h"

#include "ExchangeFiles.h"
#include "LineFile.h"
#include "OptionCatalogue.h"
#include "TdmdMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kovra {

int RunTemplateCommand(CliContext &ctx, const QStringList &args)
{
    const QString sub = args.value(0);
    if (sub == QLatin1String("new")) {
        ctx.setCommandName(QStringLiteral("template new"));
        Generation g;
        if (args.size() != 3 || !GenerationFromCode(args.at(1), &g))
            return ctx.usage(QStringLiteral("template new 010|011|012|013|014 FILE"));
        // The template table lives in the account database, as in the template window.
        if (int rc = ctx.begin(CliAccess::Accounts))
            return rc;
        const QString file = QFileInfo(args.at(2)).absoluteFilePath();
        ctx.db().LoadTemplateCatalogue(args.at(1));
        if (!SaveTemplateFile(ctx.db(), file))
            return ctx.refuse(QStringLiteral("Could not write the template file %1.").arg(QDir::toNativeSeparators(file)));
        ctx.out() << "Template of generation " << args.at(1) << " written to " << QDir::toNativeSeparators(file) << '\n';
        return ExitOk;
    }
    if (sub == QLatin1String("show")) {
        ctx.setCommandName(QStringLiteral("template show"));
        if (args.size() != 2)
            return ctx.usage(QStringLiteral("template show FILE"));
        QFile f(args.at(1));
        if (!f.open(QIODevice::ReadOnly))
            return ctx.refuse(QStringLiteral("Cannot read %1: %2").arg(args.at(1), f.errorString()));
        const auto lines = DecodeLineFile(f.readAll());
        if (!lines)
            return ctx.refuse(QStringLiteral("This is not a valid Kovra Template file."));
        QList<QStringList> rows;
        QString version;
        for (const QString &line : *lines) {
            QStringList fields;
            if (!SplitExchangeLine(line, 1, &fields))
                return ctx.refuse(QStringLiteral("This is not a valid Kovra Template file."));
            const QString number = OptionNumberFromDisplay(fields.value(0));
            const CatalogueEntry *e = FindCatalogueEntry(number);
            if (fields.value(0) == QLatin1String("806"))
                version = fields.value(1);
            rows << QStringList{fields.value(0), number, e ? e->OptionName : QString(), fields.value(1)};
        }
        ctx.out() << "Template " << QDir::toNativeSeparators(args.at(1)) << ": " << lines->size()
                  << " options, version " << (version.isEmpty() ? QStringLiteral("unknown") : version) << '\n';
        ctx.printTable({QStringLiteral("Display"), QStringLiteral("Option"), QStringLiteral("Name"),
                        QStringLiteral("Value")},
                       rows);
        return ExitOk;
    }
    return ctx.usage(QStringLiteral("template new GENERATION FILE | template show FILE"));
}

} // namespace kovra
