#include "ModuleSimulator.h"
#include "Cipher.h"
#include "Framing.h"
#include "OptionCodec.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

namespace kovra {
namespace {
constexpr int kUserBase = 0x0100;
constexpr int kResetAddress = 0x7F00;
constexpr int kEepromSize = 0x8000;
const QString kCurrentIp = QStringLiteral("385");
} // namespace

ModuleSimulator::ModuleSimulator(Generation generation, QObject *parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_eeprom(kEepromSize, '\0')
{
    // User options, then system options, contiguous in option order; the run-time
    // current address and the reset pseudo-option elsewhere.
    int address = kUserBase;
    for (const CatalogueEntry &e : CatalogueEntries(generation)) {
        Slot s;
        s.code = ValidationCodeNumber(e.OptionTypeValidation);
        s.size = OptionSizeForCode(s.code);
        if (e.OptionNumber == kCurrentIp) {
            s.address = address + 0x40;
        } else {
            s.address = address;
            address += s.size;
        }
        m_slots.insert(e.OptionNumber, s);
        m_order << e.OptionNumber;
        setOptionValue(e.OptionNumber, e.OptionDefault);
    }
    setOptionValue(kCurrentIp, QStringLiteral("127.0.0.1"));
    m_resetAddress = kResetAddress;
    connect(m_server, &QTcpServer::newConnection, this, &ModuleSimulator::onNewConnection);
}

ModuleSimulator::~ModuleSimulator() = default;

bool ModuleSimulator::listen(const QHostAddress &address, quint16 port) { return m_server->listen(address, port); }
quint16 ModuleSimulator::port() const { return m_server->serverPort(); }
QString ModuleSimulator::errorString() const { return m_server->errorString(); }

void ModuleSimulator::clearLog()
{
    m_log.clear();
    m_count = 0;
    m_bytesWritten = 0;
}

int ModuleSimulator::eepromAddress(const QString &number) const
{
    const auto it = m_slots.find(number.toUpper());
    return it == m_slots.end() ? -1 : it->address;
}

QString ModuleSimulator::optionValue(const QString &number) const
{
    const auto it = m_slots.find(number.toUpper());
    if (it == m_slots.end())
        return QString();
    return DecodeOptionBytes(m_eeprom.mid(it->address, it->size), it->code);
}

bool ModuleSimulator::setOptionValue(const QString &number, const QString &value)
{
    const auto it = m_slots.find(number.toUpper());
    if (it == m_slots.end())
        return false;
    QByteArray bytes;
    if (!EncodeOptionBytes(value, it->code, &bytes))
        return false;
    m_eeprom.replace(it->address, it->size, bytes);
    return true;
}

QString ModuleSimulator::key() const
{
    return optionValue(QStringLiteral("004")) + optionValue(QStringLiteral("005"));
}

void ModuleSimulator::setKey(const QString &key32)
{
    const QString k = key32.leftJustified(32, QLatin1Char('0')).toUpper();
    setOptionValue(QStringLiteral("004"), k.left(16));
    setOptionValue(QStringLiteral("005"), k.mid(16, 16));
}

bool ModuleSimulator::loadValues(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    QTextStream in(&f);
    int lineNo = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        ++lineNo;
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const int eq = int(line.indexOf(QLatin1Char('=')));
        if (eq < 0 || !setOptionValue(line.left(eq).trimmed(), line.mid(eq + 1))) {
            if (error)
                *error = QStringLiteral("line %1: cannot set \"%2\"").arg(lineNo).arg(line);
            return false;
        }
    }
    return true;
}

bool ModuleSimulator::dumpValues(const QString &path, QString *error) const
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    QTextStream out(&f);
    for (const QString &n : m_order)
        out << n << '=' << optionValue(n) << '\n';
    return true;
}

void ModuleSimulator::onNewConnection()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        m_buffers.insert(s, QByteArray());
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(s, &QTcpSocket::readyRead, this, [this, s] { onReadyRead(s); });
        connect(s, &QTcpSocket::disconnected, this, [this, s] {
            m_buffers.remove(s);
            s->deleteLater();
        });
    }
}

const ModuleSimulator::Slot *ModuleSimulator::slotAt(int address) const
{
    for (const Slot &s : m_slots)
        if (s.address == address)
            return &s;
    return nullptr;
}

void ModuleSimulator::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buf = m_buffers[socket];
    buf += socket->readAll();
    while (buf.size() >= 2 && buf.size() >= 2 + Be16At(buf, 0)) {
        QByteArray unit = buf.mid(2, Be16At(buf, 0));
        buf.remove(0, 2 + Be16At(buf, 0));
        const QString k = key();
        if (!IsZeroKeyHalf(k)) {
            if (unit.size() % 16 != 0)
                continue;
            CipherMessage(CipherMode::Decrypt, k, unit);
        }
        // A frame that does not check out (wrong key, damage) is ignored, as a
        // module would.
        QByteArray frame = unit.mid(3);
        const int end = int(frame.indexOf(char(0x7F)));
        if (end < 0)
            continue;
        const ReplyFrame f = VerifyFrame(frame.left(end + 1));
        if (!f.valid)
            continue;
        const int length = Be16At(f.bytes, 1);
        const QByteArray body = f.bytes.mid(3, length - 2);
        const int cmdLen = !body.isEmpty() && body[0] == 'P' ? 7 : 2;
        handle(socket, body.left(cmdLen), body.mid(cmdLen));
        if (!m_buffers.contains(socket))
            return;
    }
}

void ModuleSimulator::handle(QTcpSocket *socket, const QByteArray &command, const QByteArray &data)
{
    ++m_count;
    m_log << SimCommand{command, data};
    emit commandReceived(QStringLiteral("%1 %2").arg(QString::fromLatin1(command.toHex(' ').toUpper()),
                                                      QString::fromLatin1(data.toHex(' ').toUpper())));
    if (faults.closeAt == m_count) {
        m_buffers.remove(socket);
        socket->abort();
        socket->deleteLater();
        return;
    }
    const bool reRequest = faults.reRequestAt == m_count;
    if (command.size() == 7 && command.startsWith(QByteArray::fromHex("5001"))) {
        const QByteArray expected = InstallerCodeDigits(installerCode());
        int status = command.mid(3) == expected ? 0 : 1;
        if (faults.leadInStatus >= 0)
            status = faults.leadInStatus;
        m_session = status == 0;
        QByteArray payload;
        payload += char(0xFF);
        payload += char(status);
        reply(socket, QByteArray::fromHex("5002"), payload);
        return;
    }
    if (command.size() == 7 && command.startsWith(QByteArray::fromHex("5003"))) {
        m_session = false;
        return;
    }
    if ((!m_session && !faults.answerWithoutSession) || reRequest) {
        m_session = false;
        reply(socket, QByteArray::fromHex("5002"), QByteArray::fromHex("FF02"));
        return;
    }
    if (command == QByteArray::fromHex("0008") && data.size() == 2) {
        const int addr = Be16At(data, 0);
        const QString number = QStringLiteral("%1").arg(addr >> 8, 1, 16) +
                               QStringLiteral("%1").arg(addr & 0xFF, 2, 16, QLatin1Char('0'));
        QByteArray payload = data;
        if (addr == 0x03E7) {
            payload += char(4);
            payload += Be16(m_resetAddress);
            payload += char(1);
        } else {
            const auto it = m_slots.find(number.toUpper());
            if (it == m_slots.end())
                return;
            payload += char(it->code);
            payload += Be16(it->address);
            payload += char(it->size);
        }
        reply(socket, QByteArray::fromHex("0009"), payload);
        return;
    }
    if (command == QByteArray::fromHex("000A") && data.size() == 3) {
        const int addr = Be16At(data, 0);
        const int count = std::uint8_t(data[2]);
        if (addr + count > m_eeprom.size())
            return;
        reply(socket, QByteArray::fromHex("000B"), data.left(2) + m_eeprom.mid(addr, count));
        return;
    }
    if (command == QByteArray::fromHex("000C") && data.size() >= 2) {
        const int addr = Be16At(data, 0);
        const QByteArray bytes = data.mid(2);
        if (addr == m_resetAddress) {
            if (bytes == QByteArray(1, char(0x55))) {
                ++m_resets;
                m_session = false;
                emit resetRequested();
                // Restarting: the link drops once the write has been taken in.
                QTimer::singleShot(0, socket, [socket] { socket->disconnectFromHost(); });
            }
            return;
        }
        if (addr + bytes.size() > m_eeprom.size())
            return;
        m_bytesWritten += int(bytes.size());
        m_eeprom.replace(addr, int(bytes.size()), bytes);
        // The acknowledgement goes out under the key now in EEPROM.
        reply(socket, QByteArray::fromHex("0004"), QByteArray());
        return;
    }
}

void ModuleSimulator::reply(QTcpSocket *socket, const QByteArray &command, const QByteArray &payload)
{
    // Silent from here on: the command was carried out, its reply is lost.
    if (faults.noReplyAfter >= 0 && m_count > faults.noReplyAfter)
        return;
    QByteArray cmd = command;
    if (faults.wrongReplyAt == m_count)
        cmd = QByteArray::fromHex("000D");
    QByteArray packet = BuildPacket(cmd, payload);
    if (faults.badChecksumAt == m_count)
        packet[packet.size() - 1] = char(packet[packet.size() - 1] ^ 0x01);
    const QByteArray envelope = BuildEnvelope(installerCode(), StuffFrame(packet));
    const QString k = key();
    const QByteArray unit = BuildTransportUnit(envelope, !IsZeroKeyHalf(k), k);
    if (faults.delayMs > 0) {
        QPointer<QTcpSocket> s(socket);
        QTimer::singleShot(faults.delayMs, this, [this, s, unit] {
            if (s)
                send(s, unit);
        });
    } else {
        send(socket, unit);
    }
}

void ModuleSimulator::send(QTcpSocket *socket, const QByteArray &unit)
{
    if (faults.splitReplies <= 0) {
        socket->write(unit);
        return;
    }
    // Pieces go out on separate turns of the event loop, so they arrive as
    // separate TCP segments.
    QPointer<QTcpSocket> s(socket);
    const int piece = faults.splitReplies;
    for (int i = 0, n = 0; i < unit.size(); i += piece, ++n) {
        const QByteArray part = unit.mid(i, piece);
        QTimer::singleShot(2 * n, this, [s, part] {
            if (s) {
                s->write(part);
                s->flush();
            }
        });
    }
}

} // namespace kovra
