#include "Trace.h"

#include <QMutex>
#include <QMutexLocker>

namespace kovra {
namespace {
std::atomic<bool> g_enabled{false};
QMutex g_mutex;
TraceSink g_sink;
} // namespace

void SetTraceSink(TraceSink sink)
{
    QMutexLocker lock(&g_mutex);
    g_sink = std::move(sink);
    g_enabled.store(static_cast<bool>(g_sink));
}

bool TraceEnabled() { return g_enabled.load(std::memory_order_relaxed); }

void AddTraceLine(const QString &line)
{
    QMutexLocker lock(&g_mutex);
    if (g_sink)
        g_sink(line);
}

int HexDigitValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

QString HexDump(const QByteArray &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(bytes.size() * 3 + 2);
    out += QLatin1Char('[');
    for (unsigned char b : bytes) {
        out += QLatin1Char(digits[b >> 4]);
        out += QLatin1Char(digits[b & 15]);
        out += QLatin1Char(' ');
    }
    out += QLatin1Char(']');
    return out;
}

} // namespace kovra
