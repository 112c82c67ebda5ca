#include "Framing.h"
#include "Cipher.h"

#include "Trace.h"

namespace kovra {
namespace {
int hexDigit(QChar c) { return HexDigitValue(c); }
} // namespace

QByteArray BuildPacket(const QByteArray &command, const QByteArray &data)
{
    const int length = 2 + int(command.size()) + int(data.size());
    QByteArray p = Be16(length);
    p += command;
    p += data;
    unsigned sum = 0;
    for (unsigned char b : p)
        sum += b;
    p += Be16(int(sum & 0xFFFF));
    return p;
}

QByteArray StuffFrame(const QByteArray &packet)
{
    QByteArray f;
    f.reserve(packet.size() * 2 + 2);
    f += char(0x7E);
    for (char c : packet) {
        const auto b = std::uint8_t(c);
        if (b >= 0x7D && b <= 0x7F) {
            f += char(0x7D);
            f += char(b - 0x7D);
        } else {
            f += c;
        }
    }
    f += char(0x7F);
    return f;
}

QByteArray UnstuffFrame(const QByteArray &frame)
{
    QByteArray out;
    out.reserve(frame.size());
    for (int i = 0; i < frame.size(); ++i) {
        const auto b = std::uint8_t(frame[i]);
        if (b == 0x7D && i + 1 < frame.size()) {
            const auto n = std::uint8_t(frame[i + 1]);
            if (n <= 2) {
                out += char(0x7D + n);
                ++i;
                continue;
            }
        }
        out += char(b);
    }
    return out;
}

QByteArray InstallerCodeBytes(const QString &installerCode)
{
    QByteArray out(2, '\0');
    for (int i = 0; i < 2; ++i) {
        if (installerCode.size() < 2 * i + 2)
            continue;
        const int hi = hexDigit(installerCode[2 * i]);
        const int lo = hexDigit(installerCode[2 * i + 1]);
        out[i] = (hi < 0 || lo < 0) ? char(0) : char(hi * 16 + lo);
    }
    return out;
}

QByteArray InstallerCodeDigits(const QString &installerCode)
{
    QByteArray out(4, '\0');
    for (int i = 0; i < 4 && i < installerCode.size(); ++i) {
        const int v = hexDigit(installerCode[i]);
        out[i] = char(v < 0 ? 0 : v);
    }
    return out;
}

QByteArray BuildEnvelope(const QString &installerCode, const QByteArray &frame)
{
    QByteArray e;
    e += char(0x01);
    e += InstallerCodeBytes(installerCode);
    e += frame;
    return e;
}

QByteArray BuildTransportUnit(const QByteArray &envelope, bool encrypt, const QString &key)
{
    QByteArray body = envelope;
    if (encrypt)
        CipherMessage(CipherMode::Encrypt, key, body);
    return Be16(int(body.size())) + body;
}

QByteArray OptionAddress(const QString &optionNumber)
{
    int d[3] = {0, 0, 0};
    for (int i = 0; i < 3 && i < optionNumber.size(); ++i) {
        const int v = hexDigit(optionNumber[i]);
        d[i] = v < 0 ? 0 : v;
    }
    QByteArray a(2, '\0');
    a[0] = char(d[0]);
    a[1] = char(d[1] * 16 + d[2]);
    return a;
}

ReplyFrame VerifyFrame(const QByteArray &stuffedFrame)
{
    ReplyFrame r;
    r.bytes = UnstuffFrame(stuffedFrame);
    const QByteArray &b = r.bytes;
    // 7E, L(2), command(2), sum(2), 7F at the least
    if (b.size() < 8 || std::uint8_t(b[0]) != 0x7E || std::uint8_t(b[b.size() - 1]) != 0x7F)
        return r;
    const int length = Be16At(b, 1);
    if (length < 4 || length + 3 > b.size() - 1)
        return r;
    unsigned sum = 0;
    for (int i = 1; i <= length; ++i)
        sum += std::uint8_t(b[i]);
    r.valid = int(sum & 0xFFFF) == Be16At(b, length + 1);
    return r;
}

} // namespace kovra
