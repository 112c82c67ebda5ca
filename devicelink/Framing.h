#pragma once
// Byte layers of one console-protocol command: packet, escaped frame, envelope
// and transport unit, and the reverse for a module's reply.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kovra {

// Length (2 + body), body, 16-bit sum of everything before it.
QByteArray BuildPacket(const QByteArray &command, const QByteArray &data);
// 7D -> 7D 00, 7E -> 7D 01, 7F -> 7D 02, enclosed in 7E ... 7F.
QByteArray StuffFrame(const QByteArray &packet);
// Undoes the escapes of a whole frame (marks included, left as they are).
QByteArray UnstuffFrame(const QByteArray &frame);
// Installer code "D4E9" -> D4 E9; a pair that is not hexadecimal gives 00.
QByteArray InstallerCodeBytes(const QString &installerCode);
// Installer code "D4E9" -> 0D 04 0E 09 (the digits of the lead-in and lead-out).
QByteArray InstallerCodeDigits(const QString &installerCode);
// 01, installer code bytes, frame.
QByteArray BuildEnvelope(const QString &installerCode, const QByteArray &frame);
// Envelope encrypted under the key when asked, with the two-byte length in front.
QByteArray BuildTransportUnit(const QByteArray &envelope, bool encrypt, const QString &key);
// "326" -> 03 26, "00A" -> 00 0A; a digit that is not hexadecimal counts as 0.
QByteArray OptionAddress(const QString &optionNumber);

// An unescaped reply frame, checked: 7E, L (2), command (2), payload, sum (2), 7F.
// Offsets as on the wire: byte 0 is the start mark.
struct ReplyFrame {
    bool valid = false;       // start/end marks present, length and sum agree
    QByteArray bytes;         // unescaped frame
    QByteArray command() const { return bytes.mid(3, 2); }
    // Payload byte at wire offset i (5 is the first payload byte); -1 when absent.
    int at(int i) const { return i >= 0 && i < bytes.size() ? int(std::uint8_t(bytes[i])) : -1; }
};
ReplyFrame VerifyFrame(const QByteArray &stuffedFrame);

// Big-endian helpers.
inline QByteArray Be16(int v)
{
    QByteArray b(2, '\0');
    b[0] = char((v >> 8) & 0xFF);
    b[1] = char(v & 0xFF);
    return b;
}
inline int Be16At(const QByteArray &b, int i)
{
    return (int(std::uint8_t(b[i])) << 8) | int(std::uint8_t(b[i + 1]));
}

} // namespace kovra
