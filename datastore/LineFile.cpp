#include "LineFile.h"

namespace kovra {

quint16 LineFileSum(const QByteArray &bytes)
{
    quint32 sum = 0;
    for (char c : bytes)
        sum += quint8(c);
    return quint16(sum & 0xFFFF);
}

std::optional<QByteArray> EncodeLineFile(const QStringList &lines, QString *error)
{
    QByteArray out;
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines[i];
        // A wider length would wrap in its byte and make every following line unreadable.
        if (line.size() > MaxLineFileLine) {
            if (error)
                *error = QStringLiteral("Line %1 is %2 characters long; a file line holds at most %3.")
                             .arg(i + 1).arg(line.size()).arg(MaxLineFileLine);
            return std::nullopt;
        }
        for (QChar c : line) {
            if (c.unicode() > 0xFF) {
                if (error)
                    *error = QStringLiteral("Line %1 holds the character \"%2\", which a file line cannot carry.")
                                 .arg(i + 1).arg(c);
                return std::nullopt;
            }
        }
        out.append(char(quint8(line.size())));
        out.append(line.toLatin1());
    }
    const quint16 sum = LineFileSum(out);
    out.append(char(sum >> 8));
    out.append(char(sum & 0xFF));
    return out;
}

std::optional<QStringList> DecodeLineFile(const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return std::nullopt;
    const int n = int(bytes.size()) - 2;
    const QByteArray data = bytes.left(n);
    const quint16 stored = quint16((quint8(bytes[n]) << 8) | quint8(bytes[n + 1]));
    if (LineFileSum(data) != stored)
        return std::nullopt;
    QStringList lines;
    int p = 0;
    while (p < n - 1) {
        const int len = quint8(data[p]);
        if (p + 1 + len > n)
            return std::nullopt;
        lines << QString::fromLatin1(data.constData() + p + 1, len);
        p += 1 + len;
    }
    // A lone last byte is a length with nothing after it: harmless when it says
    // zero, a cut-off line otherwise.
    if (p == n - 1 && data[p] != 0)
        return std::nullopt;
    return lines;
}

} // namespace kovra
