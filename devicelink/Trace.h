#pragma once
// Trace lines of the device link. Costs one branch while no sink is installed
// (the trace window is closed); AddTraceLine may be called from any thread.
#include <QString>
#include <atomic>
#include <functional>

namespace kovra {

using TraceSink = std::function<void(const QString &)>;

// Installs the sink (nullptr removes it). The sink must be thread-safe.
void SetTraceSink(TraceSink sink);
bool TraceEnabled();
void AddTraceLine(const QString &line);

// Build the text only when someone is listening.
#define KOVRA_TRACE(expr)                        \
    do {                                         \
        if (::kovra::TraceEnabled())             \
            ::kovra::AddTraceLine(expr);         \
    } while (0)

// Value of one hexadecimal digit in either case, -1 when it is not one.
int HexDigitValue(QChar c);

// Each byte as two upper-case hex digits and a blank, in brackets: "[7E 00 04 ]".
QString HexDump(const QByteArray &bytes);

} // namespace kovra
