#include "OptionCodec.h"
#include "OptionCatalogue.h"
#include "Framing.h"

#include <QStringList>

#include "Trace.h"

namespace kovra {
namespace {
int hexDigit(QChar c) { return HexDigitValue(c); }

// Whole text as a hexadecimal number; 0 when it is not one.
quint64 hexNumber(const QString &text)
{
    bool ok = false;
    const quint64 v = text.trimmed().toULongLong(&ok, 16);
    return ok ? v : 0;
}

// Digit pairs into n bytes; a pair that is not hexadecimal, or missing, gives 0.
QByteArray hexPairs(const QString &text, int n)
{
    QByteArray out(n, '\0');
    for (int i = 0; i < n && 2 * i + 1 < text.size(); ++i) {
        const int hi = hexDigit(text[2 * i]);
        const int lo = hexDigit(text[2 * i + 1]);
        out[i] = (hi < 0 || lo < 0) ? char(0) : char(hi * 16 + lo);
    }
    return out;
}

QString hexText(const QByteArray &bytes, int n)
{
    return QString::fromLatin1(bytes.left(n).toHex().toUpper())
        .leftJustified(2 * n, QLatin1Char('0'));
}

bool fail(QString *reason, const QString &text)
{
    if (reason)
        *reason = text;
    return false;
}
} // namespace

int OptionSizeForCode(int code)
{
    switch (code) {
    case 1: return 4;
    case 2: return 2;
    case 3: case 4: case 5: case 6: return 1;
    case 7: return 2;
    case 8: return 64;
    case 9: return 20;
    case 10: return 8;
    case 11: return 5;
    case 12: return 6;
    case 13: return 32;
    case 14: return 16;
    case 15: return 8;
    default: return 0;
    }
}

int ValidationCodeNumber(const QString &code)
{
    bool ok = false;
    const int v = code.trimmed().toInt(&ok);
    return ok ? v : 0;
}

int OptionSize(const QString &optionNumber)
{
    // tblOptions is refilled from the newest catalogue at every open, so the
    // catalogue answers the same without a query per option.
    const CatalogueEntry *e = FindCatalogueEntry(optionNumber);
    if (!e)
        return -1;
    return OptionSizeForCode(ValidationCodeNumber(e->OptionTypeValidation));
}

QString OptionNumberOfIndex(int index, int lastUserIndex)
{
    const int n = index <= lastUserIndex ? index : 0x321 + (index - lastUserIndex - 1);
    return QString::number(n, 16).toUpper().rightJustified(3, QLatin1Char('0'));
}

int OptionSizeOfIndex(int index, int lastUserIndex)
{
    return OptionSize(OptionNumberOfIndex(index, lastUserIndex));
}

bool EncodeOptionBytes(const QString &value, int code, QByteArray *bytes, QString *reason)
{
    const int size = OptionSizeForCode(code);
    QByteArray out(size, '\0');
    switch (code) {
    case 1: {
        const QStringList parts = value.trimmed().split(QLatin1Char('.'));
        if (parts.size() != 4)
            return fail(reason, QStringLiteral("\"%1\" is not an IP address").arg(value));
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            const int v = parts[i].toInt(&ok);
            if (!ok || v < 0 || v > 255)
                return fail(reason, QStringLiteral("\"%1\" is not an IP address").arg(value));
            out[i] = char(v);
        }
        break;
    }
    case 2: {
        bool ok = false;
        const int v = value.trimmed().toInt(&ok);
        if (!ok || v < 0 || v > 0xFFFF)
            return fail(reason, QStringLiteral("\"%1\" is not a number from 0 to 65535").arg(value));
        out = Be16(v);
        break;
    }
    case 3: case 4: case 5: {
        const quint64 v = hexNumber(value);
        if (v > 0xFF)
            return fail(reason, QStringLiteral("\"%1\" does not fit in one byte").arg(value));
        out[0] = char(v);
        break;
    }
    case 6: {
        bool ok = false;
        int v = value.trimmed().toInt(&ok);
        if (!ok)
            v = 0;
        if (v < 0 || v > 0xFF)
            return fail(reason, QStringLiteral("\"%1\" does not fit in one byte").arg(value));
        out[0] = char(v);
        break;
    }
    case 7: {
        const quint64 v = hexNumber(value);
        if (v > 0xFFFF)
            return fail(reason, QStringLiteral("\"%1\" does not fit in two bytes").arg(value));
        out = Be16(int(v));
        break;
    }
    case 8: case 9: case 13: case 14: case 15: {
        if (value.size() > size)
            return fail(reason, QStringLiteral("the text is longer than %1 characters").arg(size));
        for (int i = 0; i < value.size(); ++i) {
            if (value[i].unicode() > 0xFF)
                return fail(reason, QStringLiteral("the text holds a character the module cannot store"));
            out[i] = char(value[i].unicode());
        }
        break;
    }
    case 10:
        out = hexPairs(value, 8);
        break;
    case 11:
        out = hexPairs(value.size() == 8 ? QStringLiteral("00") + value : value, 5);
        break;
    case 12:
        out = hexPairs(value, 6);
        break;
    default:
        return fail(reason, QStringLiteral("validation code %1 has no device form").arg(code));
    }
    if (bytes)
        *bytes = out;
    return true;
}

QByteArray EncodeOptionBytes(const QString &value, int code)
{
    QByteArray b;
    if (!EncodeOptionBytes(value, code, &b))
        b = QByteArray(OptionSizeForCode(code), '\0');
    return b;
}

QString DecodeOptionBytes(const QByteArray &bytes, int code)
{
    if (bytes.isEmpty())
        return QString();
    const auto u = [&](int i) { return i < bytes.size() ? int(std::uint8_t(bytes[i])) : 0; };
    switch (code) {
    case 1:
        return QStringLiteral("%1.%2.%3.%4").arg(u(0)).arg(u(1)).arg(u(2)).arg(u(3));
    case 2:
        return QString::number((u(0) << 8) | u(1));
    case 3: case 4: case 6:
        return QStringLiteral("%1").arg(u(0), 2, 16, QLatin1Char('0')).toUpper();
    case 5:
        return QString::number(u(0), 16).toUpper();
    case 7:
        return QStringLiteral("%1").arg((u(0) << 8) | u(1), 4, 16, QLatin1Char('0')).toUpper();
    case 8: case 9: case 13: case 14: case 15: {
        const int size = OptionSizeForCode(code);
        QString s;
        for (int i = 0; i < size && i < bytes.size() && bytes[i] != '\0'; ++i)
            s += QChar(std::uint8_t(bytes[i]));
        return s;
    }
    case 10:
        return hexText(bytes, 8);
    case 11:
        return hexText(bytes, 5);
    case 12:
        return hexText(bytes, 6);
    default:
        return QString();
    }
}

} // namespace kovra
