#include "BuildSettings.h"

#include <QFile>

namespace kovra {

QString BuildSetting(const QString &key)
{
    QFile f(QStringLiteral(KOVRA_BUILD_DIR "/CMakeCache.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray prefix = key.toUtf8() + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        const int eq = line.indexOf('=');
        if (line.startsWith(prefix) && eq > 0)
            return QString::fromUtf8(line.mid(eq + 1)).trimmed();
    }
    return {};
}

} // namespace kovra
