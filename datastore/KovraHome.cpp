#include "KovraHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kovra {
namespace {
QString g_home;
}

QString ResolveKovraHome()
{
    const QString env = qEnvironmentVariable("KOVRA_HOME");
    if (!env.isEmpty())
        return QDir::cleanPath(QDir(env).absolutePath());
    if (QCoreApplication::instance()) {
        const QString exeDir = QCoreApplication::applicationDirPath();
        if (QFileInfo(exeDir).isWritable())
            return QDir::cleanPath(exeDir);
    }
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        data = QDir::homePath() + "/.local/share";
    return QDir::cleanPath(data + "/KovraConsole");
}

void SetKovraHome(const QString &folder)
{
    g_home = folder.isEmpty() ? QString() : QDir::cleanPath(QDir(folder).absolutePath());
}

QString KovraHome()
{
    if (g_home.isEmpty())
        g_home = ResolveKovraHome();
    return g_home;
}

QString HomePath(const QString &relative) { return KovraHome() + QLatin1Char('/') + relative; }

} // namespace kovra
