#include "TdmdCommunication.h"
#include "Cipher.h"
#include "Framing.h"
#include "MessageDialogs.h"
#include "OptionCatalogue.h"
#include "OptionCodec.h"
#include "Trace.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSqlError>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTcpSocket>

namespace kovra {

namespace {
// Without the range flag a transfer covers every row but the last (385, a
// run-time value); a given range is kept inside the list.
void clampRange(const KovraOptionList &options, bool range, int &first, int &last)
{
    if (!range) {
        first = 1;
        last = int(options.size()) - 1;
    }
    first = std::max(first, 1);
    last = std::min(last, int(options.size()));
}
const QByteArray kLocate = QByteArray::fromHex("0008");
const QByteArray kLocateReply = QByteArray::fromHex("0009");
const QByteArray kRead = QByteArray::fromHex("000A");
const QByteArray kReadReply = QByteArray::fromHex("000B");
const QByteArray kWrite = QByteArray::fromHex("000C");
const QByteArray kAck = QByteArray::fromHex("0004");
const QByteArray kSessionReply = QByteArray::fromHex("5002");
constexpr int kMaxBlock = 64;
constexpr int kImageSize = 32768;
constexpr int kPollMs = 20;

enum LogEvent { evProgrammingStart = 105, evProgrammingFinish = 106, evProgrammingFailed = 107 };

QString hex2(int v) { return QStringLiteral("%1").arg(v & 0xFF, 2, 16, QLatin1Char('0')).toUpper(); }

bool isSystemOption(const QString &number)
{
    bool ok = false;
    return number.toInt(&ok, 16) >= 0x321 && ok;
}

int rowOf(const KovraOptionList &options, const QString &number)
{
    for (int i = 0; i < options.size(); ++i)
        if (options[i].OptionNumber.compare(number, Qt::CaseInsensitive) == 0)
            return i + 1;
    return 0;
}

int codeOf(const KovraOptionRow &row) { return ValidationCodeNumber(row.KovraOptionTypeValidation); }
} // namespace

const char *CommResultMessage(int result)
{
    switch (result) {
    case crNoReply:
        return "Communication failed. Please ensure that you are using the correct Encryption Key and Password.";
    case crCancelled: return "Programming has been cancelled.";
    case crRejected: return "Console session rejected by Kovra.";
    case crWrongVersion: return "Incorrect Version of Kovra.";
    default: return "";
    }
}

// Creates the progress window when none exists and releases it again only if it
// created it, so nested operations share their caller's window.
class ProgressUse {
public:
    ProgressUse(TdmdCommunication &c, const QString &text, bool cancelButton = true) : m_c(c)
    {
        if (!m_c.m_progress) {
            m_c.m_cancelRequested.store(false);
            m_c.m_progress = std::make_unique<ProgressScope>(text, cancelButton);
            m_c.m_progressText = text;
            m_owner = true;
        } else {
            m_c.setProgressText(text);
        }
    }
    ~ProgressUse() { release(); }
    void release()
    {
        if (m_owner) {
            m_c.m_progress.reset();
            m_owner = false;
        }
    }

private:
    TdmdCommunication &m_c;
    bool m_owner = false;
};

TdmdCommunication::TdmdCommunication(QObject *parent) : QObject(parent), m_socket(new QTcpSocket(this))
{
    m_readTimer.setSingleShot(true);
    m_readTimer.setInterval(10000);
    connect(&m_readTimer, &QTimer::timeout, this, [this] {
        m_readTimer.stop();
        ReadTimedOut = true;
        m_woken = true;
        if (m_loop)
            m_loop->quit();
    });
    m_pollTimer.setSingleShot(true);
    m_pollTimer.setInterval(kPollMs);
    // Polling Cancel lets events run, so a wake-up may come before the loop
    // starts; m_woken keeps it from being lost.
    auto wake = [this] {
        m_woken = true;
        if (m_loop)
            m_loop->quit();
    };
    connect(&m_pollTimer, &QTimer::timeout, this, wake);
    connect(m_socket, &QTcpSocket::readyRead, this, wake);
    connect(m_socket, &QTcpSocket::bytesWritten, this, wake);
    connect(m_socket, &QTcpSocket::connected, this, wake);
    connect(m_socket, &QTcpSocket::disconnected, this, wake);
    connect(m_socket, &QTcpSocket::errorOccurred, this, wake);
}

TdmdCommunication::~TdmdCommunication() { m_socket->abort(); }

void TdmdCommunication::setModuleHost(const QString &host, quint16 port)
{
    if (host != m_host || port != m_port)
        m_socket->abort();
    m_host = host;
    m_port = port;
}

void TdmdCommunication::setReadTimeout(int ms) { m_readTimer.setInterval(ms); }

void TdmdCommunication::setCurrentAccount(int kovraId)
{
    m_kovraId = kovraId;
    m_accountNumber.clear();
    const QSqlDatabase db = accountDatabase();
    if (!db.isOpen())
        return;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT KovraAccount FROM tblKovra WHERE Kovra_ID = ?"));
    q.addBindValue(kovraId);
    if (q.exec() && q.next())
        m_accountNumber = q.value(0).toString();
}

QString TdmdCommunication::ModuleAddress() const
{
    const QSqlDatabase db = accountDatabase();
    if (!db.isOpen())
        return QString();
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT KovraIP FROM tblKovra WHERE Kovra_ID = ?"));
    q.addBindValue(m_kovraId);
    return q.exec() && q.next() ? q.value(0).toString() : QString();
}

int TdmdCommunication::ConsolePort(int kovraId) const
{
    const QSqlDatabase db = accountDatabase();
    if (!db.isOpen())
        return 3064;
    QSqlQuery queKovraPort(db);
    queKovraPort.prepare(QStringLiteral(
        "SELECT KovraOptionValue FROM tblKovraOptions WHERE Kovra_ID = ? AND OptionNumber = '013'"));
    queKovraPort.addBindValue(kovraId);
    if (queKovraPort.exec() && queKovraPort.next())
        return queKovraPort.value(0).toString().trimmed().toInt();
    return 3064;
}

void TdmdCommunication::writeLog(int code)
{
    if (m_log)
        m_log(code, m_accountNumber);
}

bool TdmdCommunication::cancelled()
{
    if (m_cancelRequested.load())
        return true;
    return m_progress && m_progress->cancelled();
}

void TdmdCommunication::setProgressText(const QString &text)
{
    m_progressText = text;
    if (m_progress)
        m_progress->setText(text);
}

void TdmdCommunication::setProgressPercent(int percent)
{
    if (m_progress)
        m_progress->setPercent(percent);
}

// The watchdog of a read or write: the wait ends when done() holds, the socket
// closes, the read timer fires (reads only), Cancel is pressed or the watchdog
// time passes; the last two close the connection, as a hung call must not linger.
TdmdCommunication::WaitEnd TdmdCommunication::waitFor(const std::function<bool()> &done,
                                                      const QString &what, bool stopOnReadTimer)
{
    QElapsedTimer clock;
    clock.start();
    qint64 tics = 0;
    WaitEnd end = WaitEnd::Done;
    QEventLoop loop;
    QEventLoop *outer = m_loop;
    m_loop = &loop;
    for (;;) {
        m_woken = false;
        if (done()) {
            end = WaitEnd::Done;
            break;
        }
        if (m_socket->state() != QAbstractSocket::ConnectedState
            && m_socket->state() != QAbstractSocket::ConnectingState
            && m_socket->state() != QAbstractSocket::HostLookupState) {
            end = WaitEnd::Closed;
            break;
        }
        if (stopOnReadTimer && ReadTimedOut) {
            end = WaitEnd::ReadTimer;
            break;
        }
        if (cancelled()) {
            KOVRA_TRACE(QStringLiteral("TimeoutThread forcing DISCONNECT"));
            m_socket->abort();
            end = WaitEnd::Cancelled;
            break;
        }
        const qint64 elapsed = clock.elapsed();
        if (elapsed >= m_watchdogMs) {
            KOVRA_TRACE(QStringLiteral("TimeoutThread forcing DISCONNECT"));
            m_socket->abort();
            end = WaitEnd::Watchdog;
            break;
        }
        while (tics < elapsed / 1000) {
            ++tics;
            KOVRA_TRACE(QStringLiteral("*tic*"));
        }
        if (m_woken)
            continue;
        m_pollTimer.start();
        loop.exec();
    }
    m_pollTimer.stop();
    m_loop = outer;
    KOVRA_TRACE(QStringLiteral("Stopping %1 Timeout Thread").arg(what));
    QCoreApplication::processEvents();
    KOVRA_TRACE(QStringLiteral("%1 Thread Stopped").arg(what));
    return end;
}

bool TdmdCommunication::connectLink()
{
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        return true;
    m_socket->abort();
    m_socket->connectToHost(m_host, m_port);
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QEventLoop *outer = m_loop;
    m_loop = &loop;
    while (m_socket->state() != QAbstractSocket::ConnectedState
           && m_socket->state() != QAbstractSocket::UnconnectedState) {
        m_woken = false;
        if (clock.elapsed() >= m_watchdogMs || cancelled()) {
            m_socket->abort();
            break;
        }
        if (m_woken)
            continue;
        m_pollTimer.start();
        loop.exec();
    }
    m_pollTimer.stop();
    m_loop = outer;
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return false;
    // Short commands answered one by one: never hold one back for coalescing.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

void TdmdCommunication::CloseConnection()
{
    // Everything written has already left (every write waits for it), so nothing
    // is lost by closing at once.
    m_socket->disconnectFromHost();
    m_socket->abort();
    KOVRA_TRACE(QStringLiteral("*TCP DISCONNECTED*"));
}

CommResult TdmdCommunication::SendCommand(const QByteArray &ACommand, const QByteArray &AData,
                                          bool AEncrypt, const QString &AKey)
{
    if (!ACommand.isEmpty() && ACommand[0] != 'P') {
        LastCommand = ACommand;
        LastData = AData;
    }
    if (m_socket->state() != QAbstractSocket::ConnectedState && !connectLink()) {
        ShowTimedError(QStringLiteral("Cannot connect to the specified IP Address."), -5000);
        return crConnectFailed;
    }
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return crNoLink;

    const QByteArray frame = StuffFrame(BuildPacket(ACommand, AData));
    const QByteArray unit = BuildTransportUnit(BuildEnvelope(InstallerCode, frame), AEncrypt, AKey);
    KOVRA_TRACE(QStringLiteral("Remote Data Sent: ") + HexDump(unit));

    KOVRA_TRACE(QStringLiteral("Creating WRITE Timeout Thread"));
    const qint64 written = m_socket->write(unit);
    WaitEnd end = WaitEnd::Closed;
    if (written == unit.size())
        end = waitFor([this] { return m_socket->bytesToWrite() == 0; }, QStringLiteral("WRITE"), false);
    else
        waitFor([] { return true; }, QStringLiteral("WRITE"), false);
    if (written != unit.size() || end != WaitEnd::Done) {
        KOVRA_TRACE(QStringLiteral("SendCommand Write Exception  %1").arg(m_socket->errorString()));
        return crConnectFailed;
    }
    return crOk;
}

bool TdmdCommunication::WaitForResponse(const QByteArray &ACommand, bool AEncrypt,
                                        const QString &AKey, Reply &out)
{
    QByteArray received;
    ReadTimedOut = false;
    m_readTimer.start();
    bool complete = false;
    while (!ReadTimedOut && !cancelled()) {
        KOVRA_TRACE(QStringLiteral("Creating READ Timeout Thread "));
        // Bytes may come in any number of TCP segments: wait for the length,
        // then for all N bytes it announces.
        const auto unitReady = [this] {
            if (m_socket->bytesAvailable() < 2)
                return false;
            const QByteArray head = m_socket->peek(2);
            return m_socket->bytesAvailable() >= 2 + Be16At(head, 0);
        };
        const WaitEnd end = waitFor(unitReady, QStringLiteral("READ"), true);
        ReadTimedOut = true;
        if (end == WaitEnd::ReadTimer)
            break;
        if (end != WaitEnd::Done) {
            KOVRA_TRACE(QStringLiteral("WaitForResponse Read Exception  %1")
                            .arg(end == WaitEnd::Cancelled ? QStringLiteral("Cancelled")
                                 : end == WaitEnd::Watchdog ? QStringLiteral("Timed out")
                                                            : m_socket->errorString()));
            m_readTimer.stop();
            return false;
        }
        const QByteArray head = m_socket->read(2);
        QByteArray data = m_socket->read(Be16At(head, 0));
        KOVRA_TRACE(QStringLiteral("Received: First two bytes - [%1] [%2] and data - ")
                        .arg(hex2(head[0]), hex2(head[1]))
                    + HexDump(data));
        if (AEncrypt) {
            try {
                CipherMessage(CipherMode::Decrypt, AKey, data);
            } catch (const CipherError &e) {
                KOVRA_TRACE(QStringLiteral("WaitForResponse Read Exception  %1").arg(QString::fromUtf8(e.what())));
                m_readTimer.stop();
                return false;
            }
            KOVRA_TRACE(QStringLiteral("Decrypted Data - ") + HexDump(data));
            data = data.mid(3);
            KOVRA_TRACE(QStringLiteral("Copied Data - ") + HexDump(data));
            const int endMark = int(data.indexOf(char(0x7F)));
            data = endMark < 0 ? QByteArray() : data.left(endMark + 1);
        } else {
            data = data.mid(3);
        }
        received += data;
        if (!received.isEmpty() && std::uint8_t(received.front()) == 0x7E
            && std::uint8_t(received.back()) == 0x7F) {
            KOVRA_TRACE(QStringLiteral("Local Data Received: ") + HexDump(received));
            complete = true;
            break;
        }
        QCoreApplication::processEvents();
    }
    m_readTimer.stop();
    if (!complete)
        return false;

    // VerifyDataReceived
    const ReplyFrame f = VerifyFrame(received);
    if (!f.valid)
        return false;
    KOVRA_TRACE(QStringLiteral("VerifyDataReceived OK, ACommand  =  ") + HexDump(ACommand));
    const QByteArray &b = f.bytes;
    const int length = Be16At(b, 1);   // last checked byte is at offset `length`
    if (f.command() == ACommand) {
        KOVRA_TRACE(QStringLiteral("VerifyDataReceived OK"));
        if (ACommand == kLocateReply) {
            if (length < 10)
                return false;
            out.AOption = b.mid(5, 2);
            out.AType = f.at(7);
            out.AEEPROMADDRESS = b.mid(8, 2);
            out.ASize = f.at(10);
        } else if (ACommand == kReadReply) {
            if (length < 6 + out.ASize)   // short reply: never pass on bytes of the checksum
                return false;
            out.AEEPROMADDRESS = b.mid(5, 2);
            out.AData = b.mid(7, out.ASize);
        } else if (ACommand == kSessionReply) {
            if (length < 6)
                return false;
            out.AData = b.mid(6, 1);
        }
        return true;
    }
    if (f.command() == kSessionReply && f.at(6) == 2 && length >= 6) {
        KOVRA_TRACE(QStringLiteral("Console Session Re-Request received"));
        // One new session and one re-send per wait; a module that keeps asking fails the wait.
        if (m_reRequestDepth > 0)
            return false;
        const QString caption = m_progressText;
        ++m_reRequestDepth;
        const CommResult r = LeadInOut(AKey, AEncrypt, nullptr, true);
        bool ok = false;
        if (r == crNoReply) {
            KOVRA_TRACE(QStringLiteral("ReLeadin Failed."));
        } else if (r == crOk) {
            KOVRA_TRACE(QStringLiteral("ReLeadin Successful"));
            setProgressText(caption);
            if (SendCommand(LastCommand, LastData, AEncrypt, AKey) == crOk)
                ok = WaitForResponse(ACommand, AEncrypt, AKey, out);
        }
        --m_reRequestDepth;
        return ok;
    }
    return false;
}

CommResult TdmdCommunication::LeadInOut(const QString &AKey, bool AEncrypt, KovraOptionList *options,
                                        bool ALeadIn)
{
    const QString step = ALeadIn ? QStringLiteral("Console Lead In") : QStringLiteral("Console Lead Out");
    if (ALeadIn)
        writeLog(evProgrammingStart);
    ProgressUse progress(*this, step);
    setProgressText(step);
    const QByteArray digits = InstallerCodeDigits(InstallerCode);

    if (!ALeadIn) {
        const CommResult r = SendCommand(QByteArray::fromHex("5003FF") + digits, QByteArray(), AEncrypt, AKey);
        if (r == crOk) {
            writeLog(evProgrammingFinish);
            KOVRA_TRACE(QStringLiteral("Lead Out Sent Succesfully"));
        } else {
            writeLog(evProgrammingFailed);
            KOVRA_TRACE(QStringLiteral("Lead Out Sent Unsuccesfully"));
        }
        CloseConnection();
        progress.release();
        return r;
    }

    CommResult r = SendCommand(QByteArray::fromHex("5001FF") + digits, QByteArray(), AEncrypt, AKey);
    if (r != crOk) {
        writeLog(evProgrammingFailed);
        return r;
    }
    if (cancelled())
        return crCancelled;
    Reply reply;
    if (!WaitForResponse(kSessionReply, AEncrypt, AKey, reply)) {
        if (cancelled())
            return crCancelled;
        writeLog(evProgrammingFailed);
        return crNoReply;
    }
    KOVRA_TRACE(QStringLiteral("LeadIn/Out ADATA = ") + HexDump(reply.AData));
    const int status = reply.AData.isEmpty() ? -1 : int(std::uint8_t(reply.AData[0]));
    if (status == 1) {
        writeLog(evProgrammingFailed);
        r = crRejected;
    }
    if (cancelled())
        return crCancelled;
    if (status == 0)
        r = crOk;
    else if (status != 1)
        r = crNoLink;
    if (r == crOk && options)
        r = versionCheck(*options, AEncrypt, AKey);
    return r;
}

int TdmdCommunication::LastUserIndex(const QString &version)
{
    const QString code = version.left(3);
    if (code == QLatin1String("011"))
        return 0x44;
    if (code == QLatin1String("012") || code == QLatin1String("013"))
        return 0x47;
    if (code == QLatin1String("014"))
        return 0x48;
    return 0x42;
}

CommResult TdmdCommunication::versionCheck(KovraOptionList &options, bool AEncrypt, const QString &AKey)
{
    const int row = rowOf(options, QStringLiteral("326"));
    if (row == 0)
        return crOk;
    const CommResult read = GetOptions(options, QStringLiteral("Version Check"), true, row, row, AEncrypt, AKey, true);
    if (read == crNoReply || read == crCancelled)
        return read;
    if (read != crOk)
        return crOk;
    const QString value = options[row - 1].KovraOptionTempValue;
    KOVRA_TRACE(QStringLiteral("Version Request %1").arg(value));
    const QString moduleDigits =
        QStringLiteral("%1").arg(value.toUInt(nullptr, 16), 4, 16, QLatin1Char('0')).toUpper();
    const int v = moduleDigits.left(3).toInt(nullptr, 16);
    const QString expected = ExpectedVersion.left(3);
    const int t = expected.toInt(nullptr, 16);
    if (expected == QLatin1String("000"))
        ExpectedVersion = QStringLiteral("010");
    CommResult r = crOk;
    if (t < v) {
        r = crUpdateRequired;
        ModuleVersion = moduleDigits.left(3);
        CloseConnection();
    }
    if (v > 0x14 || v < t) {
        r = crWrongVersion;
        CloseConnection();
    }
    return r;
}

std::optional<CommResult> TdmdCommunication::sessionStep(KovraOptionList &options, const QString &caption,
                                                         bool AEncrypt, const QString &AKey)
{
    if (SessionOpen)
        return std::nullopt;
    KOVRA_TRACE(QStringLiteral("Console LeadIN Sent"));
    const CommResult r = LeadInOut(AKey, AEncrypt, &options, true);
    switch (r) {
    case crOk:
        SessionOpen = true;
        KOVRA_TRACE(QStringLiteral("Leadin Successful"));
        setProgressText(caption);
        return std::nullopt;
    case crNoLink:
        setProgressText(caption);
        return std::nullopt;
    case crConnectFailed:
    case crNoReply:
        KOVRA_TRACE(QStringLiteral("Leadin Failed"));
        return r;
    case crRejected:
        KOVRA_TRACE(QStringLiteral("Leadin Rejected"));
        return r;
    default:
        return r;
    }
}

void TdmdCommunication::storeTempValue(KovraOptionRow &row, const QString &value, QSqlQuery *prepared)
{
    row.KovraOptionTempValue = value;
    const QSqlDatabase db = accountDatabase();
    if (!prepared && !db.isOpen())
        return;
    std::optional<QSqlQuery> own;
    QSqlQuery *queChangeOption = prepared;
    if (!queChangeOption) {
        own.emplace(db);
        own->prepare(QStringLiteral(
            "UPDATE tblKovraOptions SET KovraOptionTempValue = ? WHERE Kovra_ID = ? AND OptionNumber = ?"));
        queChangeOption = &*own;
    }
    queChangeOption->bindValue(0, value);
    queChangeOption->bindValue(1, row.Kovra_ID);
    queChangeOption->bindValue(2, row.OptionNumber);
    queChangeOption->exec();
}

QString TdmdCommunication::storedValue(const KovraOptionRow &row)
{
    const QSqlDatabase db = accountDatabase();
    if (!db.isOpen())
        return row.KovraOptionValue;
    QSqlQuery queGetOption(db);
    queGetOption.prepare(QStringLiteral(
        "SELECT KovraOptionValue FROM tblKovraOptions WHERE Kovra_ID = ? AND OptionNumber = ?"));
    queGetOption.addBindValue(row.Kovra_ID);
    queGetOption.addBindValue(row.OptionNumber);
    if (queGetOption.exec() && queGetOption.next())
        return queGetOption.value(0).toString();
    return row.KovraOptionValue;
}

// A value that cannot be written as it stands is refused before anything is sent:
// cutting it or sending a block of the wrong length would corrupt the module.
bool TdmdCommunication::checkWritable(const KovraOptionRow &row, const QString &value, QByteArray *bytes)
{
    QString reason;
    const CatalogueEntry *entry = FindCatalogueEntry(row.OptionNumber);
    const QString name = QStringLiteral("Option %1%2")
                             .arg(DisplayNumber(row.OptionNumber),
                                  entry ? QStringLiteral(" (%1)").arg(entry->OptionName) : QString());
    if (!entry || OptionSize(row.OptionNumber) <= 0) {
        reason = QStringLiteral("it is not in the option catalogue");
    } else if (EncodeOptionBytes(value, codeOf(row), bytes, &reason)) {
        if (bytes->size() == OptionSize(row.OptionNumber))
            return true;
        reason = QStringLiteral("its size does not match the option catalogue");
    }
    ShowError(QStringLiteral("%1 cannot be written to the Kovra: %2. Nothing was sent.").arg(name, reason));
    return false;
}

CommResult TdmdCommunication::exchange(const QByteArray &command, const QByteArray &data,
                                       const QByteArray &replyCommand, Reply &reply, bool AEncrypt,
                                       const QString &AKey)
{
    const CommResult r = SendCommand(command, data, AEncrypt, AKey);
    if (r != crOk)
        return r;
    if (!WaitForResponse(replyCommand, AEncrypt, AKey, reply))
        return cancelled() ? crCancelled : crNoReply;
    return crOk;
}

CommResult TdmdCommunication::GetOptions(KovraOptionList &options, const QString &caption, bool range,
                                         int first, int last, bool AEncrypt, const QString &AKey,
                                         bool nested)
{
    clampRange(options, range, first, last);
    if (last < first)
        return crOk;
    ProgressUse progress(*this, caption);
    const auto finish = [&](CommResult r) {
        if (!nested) {
            CloseConnection();
            progress.release();
        }
        return r;
    };
    for (int row = first; row <= last; ++row) {
        if (cancelled())
            return finish(crCancelled);
        if (!nested) {
            if (auto r = sessionStep(options, caption, AEncrypt, AKey))
                return finish(*r);
        }
        KovraOptionRow &opt = options[row - 1];
        Reply loc;
        CommResult r = exchange(kLocate, OptionAddress(opt.OptionNumber), kLocateReply, loc, AEncrypt, AKey);
        if (r != crOk)
            return finish(r);
        QByteArray readData = loc.AEEPROMADDRESS;
        readData += char(loc.ASize);
        Reply rd;
        rd.ASize = loc.ASize;
        r = exchange(kRead, readData, kReadReply, rd, AEncrypt, AKey);
        if (r != crOk)
            return finish(r);
        KOVRA_TRACE(QStringLiteral("EEPROM READ AEEPROMADDRESS = ") + HexDump(rd.AEEPROMADDRESS));
        KOVRA_TRACE(QStringLiteral("EEPROM READ AData = ") + HexDump(rd.AData));
        storeTempValue(opt, DecodeOptionBytes(rd.AData, codeOf(opt)));
        if (last > first)
            setProgressPercent((row - first + 1) * 100 / (last - first + 1));
    }
    return finish(crOk);
}

CommResult TdmdCommunication::SetOptions(KovraOptionList &options, const QString &caption, bool range,
                                         int first, int last, bool AEncrypt, const QString &AKey)
{
    clampRange(options, range, first, last);
    static const QStringList never = {QStringLiteral("325"), QStringLiteral("326"), QStringLiteral("327"),
                                      QStringLiteral("004"), QStringLiteral("005")};
    QVector<QByteArray> encoded(options.size());
    for (int row = first; row <= last; ++row) {
        const KovraOptionRow &opt = options[row - 1];
        if (never.contains(opt.OptionNumber.toUpper()))
            continue;
        if (!checkWritable(opt, opt.KovraOptionValue, &encoded[row - 1]))
            return crNoLink;
    }
    ProgressUse progress(*this, caption);
    for (int row = first; row <= last; ++row) {
        if (cancelled())
            return crCancelled;
        KovraOptionRow &opt = options[row - 1];
        if (never.contains(opt.OptionNumber.toUpper()))
            continue;
        if (auto r = sessionStep(options, caption, AEncrypt, AKey))
            return *r;
        Reply loc;
        CommResult r = exchange(kLocate, OptionAddress(opt.OptionNumber), kLocateReply, loc, AEncrypt, AKey);
        if (r != crOk) {
            if (r == crNoReply)
                writeLog(evProgrammingFailed);
            return r;
        }
        const QByteArray data = loc.AEEPROMADDRESS + encoded[row - 1];
        KOVRA_TRACE(QStringLiteral("EEPROM WRITE AEEPROMADDRESS = ") + HexDump(loc.AEEPROMADDRESS));
        KOVRA_TRACE(QStringLiteral("EEPROM WRITE AData = ") + HexDump(data));
        Reply ack;
        r = exchange(kWrite, data, kAck, ack, AEncrypt, AKey);
        if (r != crOk)
            return r;
        if (last > first)
            setProgressPercent((row - first + 1) * 100 / (last - first + 1));
    }
    return crOk;
}

CommResult TdmdCommunication::GetAllOptions(KovraOptionList &options, const QString &caption, bool range,
                                            int first, int last, bool AEncrypt, const QString &AKey)
{
    clampRange(options, range, first, last);
    const int lastUser = std::min(LastUserIndex(ExpectedVersion), int(options.size()));
    ProgressUse progress(*this, caption);
    const auto finish = [&](CommResult r) {
        CloseConnection();
        progress.release();
        return r;
    };
    QVector<int> sizes(options.size());
    QVector<int> offsets(options.size() + 1);
    for (int i = 0; i < options.size(); ++i) {
        sizes[i] = std::max(0, OptionSize(options[i].OptionNumber));
        offsets[i + 1] = offsets[i] + sizes[i];
    }
    QByteArray image(kImageSize, '\0');
    int index = first;
    while (index <= last) {
        if (cancelled())
            return finish(crCancelled);
        if (auto r = sessionStep(options, caption, AEncrypt, AKey))
            return finish(*r);
        if (cancelled())
            return finish(crCancelled);
        // A block: neighbouring options of one region within 64 bytes.
        const bool user = index <= lastUser && !isSystemOption(options[index - 1].OptionNumber);
        if (!user)
            KOVRA_TRACE(QStringLiteral("FINISHED USER OPTIONS, GETTING SYSTEM OPTIONS!"));
        const int regionEnd = user ? lastUser : last;
        int end = index;
        int block = sizes[index - 1];
        while (end + 1 <= regionEnd && block + sizes[end] <= kMaxBlock
               && isSystemOption(options[end].OptionNumber) == !user) {
            block += sizes[end];
            ++end;
        }
        KOVRA_TRACE(QStringLiteral("BlockSize Set to %1.").arg(block));
        KOVRA_TRACE(QStringLiteral("Reading from Option %1").arg(index));
        Reply loc;
        CommResult r = exchange(kLocate, OptionAddress(options[index - 1].OptionNumber), kLocateReply, loc,
                                AEncrypt, AKey);
        if (r != crOk)
            return finish(r);
        Reply rd;
        rd.ASize = block;
        r = exchange(kRead, loc.AEEPROMADDRESS + QByteArray(1, char(block)), kReadReply, rd, AEncrypt, AKey);
        if (r != crOk)
            return finish(r);
        KOVRA_TRACE(QStringLiteral("EEPROM READ AEEPROMADDRESS = ") + HexDump(rd.AEEPROMADDRESS));
        KOVRA_TRACE(QStringLiteral("EEPROM READ AData = ") + HexDump(rd.AData));
        const int offset = offsets[index - 1];
        if (offset + block <= kImageSize)
            image.replace(offset, block, rd.AData);
        index = end + 1;
        setProgressPercent(std::min(100, (index - first) * 100 / std::max(1, last - first + 1)));
    }

    setProgressText(QStringLiteral("Updating the Database."));
    setProgressPercent(0);
    // One transaction: a crash never leaves half the values of a read, and it is
    // much faster than one commit per row.
    QSqlDatabase db = accountDatabase();
    const bool tx = db.isOpen() && db.transaction();
    std::optional<QSqlQuery> queChangeOption;
    if (db.isOpen()) {
        queChangeOption.emplace(db);
        queChangeOption->prepare(QStringLiteral(
            "UPDATE tblKovraOptions SET KovraOptionTempValue = ? WHERE Kovra_ID = ? AND OptionNumber = ?"));
    }
    for (int i = 0; i < options.size(); ++i) {
        if (cancelled()) {
            queChangeOption.reset();
            if (tx)
                db.commit();
            return finish(crCancelled);
        }
        KovraOptionRow &opt = options[i];
        const int offset = offsets[i];
        const QByteArray bytes = offset + sizes[i] <= kImageSize ? image.mid(offset, sizes[i]) : QByteArray();
        const QString value = DecodeOptionBytes(bytes.isEmpty() && sizes[i] > 0 ? QByteArray(sizes[i], '\0') : bytes,
                                                codeOf(opt));
        KOVRA_TRACE(QStringLiteral("Tempsize %1  Index %2").arg(sizes[i]).arg(offsets[i + 1]));
        storeTempValue(opt, value, queChangeOption ? &*queChangeOption : nullptr);
        KOVRA_TRACE(QStringLiteral("Kovra_ID %1 - Changing option %2 to value %3")
                        .arg(QString::number(opt.Kovra_ID), opt.OptionNumber, value));
        setProgressPercent(int((i + 1) * 100 / options.size()));
    }
    queChangeOption.reset();
    if (tx)
        db.commit();
    return finish(crOk);
}

CommResult TdmdCommunication::SetAllOptions(KovraOptionList &options, const QString &caption, bool range,
                                            int first, int last, bool AEncrypt, const QString &AKey)
{
    clampRange(options, range, first, last);
    const int lastUser = std::min(LastUserIndex(ExpectedVersion), int(options.size()));
    const int row321 = rowOf(options, QStringLiteral("321"));

    // Everything is encoded before the first command, so a value that cannot be
    // written stops the transfer with nothing sent.
    QVector<QByteArray> encoded(options.size());
    for (int row = first; row <= lastUser; ++row) {
        const QString value = storedValue(options[row - 1]);
        options[row - 1].KovraOptionValue = value;
        if (!checkWritable(options[row - 1], value, &encoded[row - 1]))
            return crNoLink;
    }
    if (row321 > 0) {
        for (int row = row321; row <= std::min(row321 + 3, int(options.size())); ++row) {
            QByteArray unused;
            if (!checkWritable(options[row - 1], options[row - 1].KovraOptionValue, &unused))
                return crNoLink;
        }
    }

    ProgressUse progress(*this, caption);
    setProgressText(QStringLiteral("Preparing the Options..."));
    QByteArray image(kImageSize, '\0');
    QVector<int> offsets(options.size() + 1);
    int offset = 0;
    for (int row = first; row <= lastUser; ++row) {
        offsets[row - 1] = offset;
        if (offset + encoded[row - 1].size() <= kImageSize)
            image.replace(offset, int(encoded[row - 1].size()), encoded[row - 1]);
        offset += int(encoded[row - 1].size());
        offsets[row] = offset;
        setProgressPercent((row - first + 1) * 100 / std::max(1, lastUser - first + 1));
    }
    setProgressPercent(0);
    setProgressText(caption);

    int index = first;
    for (;;) {
        if (index > lastUser) {
            progress.release();
            if (row321 > 0)
                SetOptions(options, QStringLiteral("Setting System Options..."), true, row321, row321 + 4,
                           AEncrypt, AKey);
            return crOk;
        }
        if (cancelled())
            return crCancelled;
        if (auto r = sessionStep(options, caption, AEncrypt, AKey))
            return *r;
        int end = index;
        int block = int(encoded[index - 1].size());
        while (end + 1 <= lastUser && block + encoded[end].size() <= kMaxBlock) {
            block += int(encoded[end].size());
            ++end;
        }
        KOVRA_TRACE(QStringLiteral("Set BLOCKSIZE to %1").arg(block));
        KOVRA_TRACE(QStringLiteral("SET writing from option %1").arg(index));
        // Every failure but Cancel is a failed programming.
        const auto failed = [this](CommResult r) {
            if (r != crCancelled)
                writeLog(evProgrammingFailed);
            return r;
        };
        Reply loc;
        CommResult r = exchange(kLocate, OptionAddress(options[index - 1].OptionNumber), kLocateReply, loc,
                                AEncrypt, AKey);
        if (r != crOk)
            return failed(r);
        const QByteArray data = loc.AEEPROMADDRESS + image.mid(offsets[index - 1], block);
        KOVRA_TRACE(QStringLiteral("EEPROM WRITE AEEPROMADDRESS = ") + HexDump(loc.AEEPROMADDRESS));
        KOVRA_TRACE(QStringLiteral("EEPROM WRITE AData = ") + HexDump(data));
        Reply ack;
        r = exchange(kWrite, data, kAck, ack, AEncrypt, AKey);
        if (r != crOk)
            return failed(r);
        index = end + 1;
        setProgressPercent(std::min(100, (index - first) * 100 / std::max(1, lastUser - first + 1)));
    }
}

CommResult TdmdCommunication::ResetModule(const QString &AKey, bool AEncrypt)
{
    writeLog(evProgrammingStart);
    ProgressUse progress(*this, QStringLiteral("Resetting Kovra."));
    const auto finish = [&](CommResult r) {
        progress.release();
        CloseConnection();
        return r;
    };
    if (cancelled())
        return finish(crCancelled);
    CommResult r = SendCommand(kLocate, QByteArray::fromHex("03E7"), AEncrypt, AKey);
    setProgressPercent(0);
    if (r != crOk)
        return finish(r);
    Reply loc;
    if (!WaitForResponse(kLocateReply, AEncrypt, AKey, loc)) {
        writeLog(evProgrammingFailed);
        return finish(crNoReply);
    }
    const QByteArray data = loc.AEEPROMADDRESS + EncodeOptionBytes(QStringLiteral("55"), 4);
    KOVRA_TRACE(QStringLiteral("EEPROM WRITE AData = ") + HexDump(data));
    KOVRA_TRACE(QStringLiteral("EEPROM WRITE AEEPROMADDRESS = ") + HexDump(loc.AEEPROMADDRESS));
    // The module restarts instead of answering; only a write that never left is a failure.
    r = SendCommand(kWrite, data, AEncrypt, AKey);
    if (r != crOk) {
        writeLog(evProgrammingFailed);
        return finish(r);
    }
    setProgressPercent(100);
    finish(crOk);
    writeLog(evProgrammingFinish);
    return crOk;
}

CommResult TdmdCommunication::ChangeEncryptionKey(const QString &caption, const QString &oldKey1,
                                                  const QString &oldKey2, const QString &newKey1,
                                                  const QString &newKey2)
{
    static const QRegularExpression half(QStringLiteral("^[0-9A-Fa-f]{16}$"));
    if (!half.match(newKey1).hasMatch() || !half.match(newKey2).hasMatch()) {
        // A malformed key would be programmed as some other key and lock the console out.
        ShowError(QStringLiteral("The new Encryption Key must be 32 hexadecimal digits. Nothing was sent."));
        return crNoLink;
    }
    ProgressUse progress(*this, caption, false);
    const auto finish = [&](CommResult r) {
        progress.release();
        CloseConnection();
        return r;
    };
    const QString oldKey = oldKey1 + oldKey2;
    const bool oldEnc = SessionEncrypted(oldKey1, oldKey2);
    if (!SessionOpen) {
        KOVRA_TRACE(QStringLiteral("Console LeadIN Sent"));
        const CommResult r = LeadInOut(oldKey, oldEnc, nullptr, true);
        switch (r) {
        case crOk:
            SessionOpen = true;
            KOVRA_TRACE(QStringLiteral("Leadin Successful"));
            setProgressText(caption);
            break;
        case crConnectFailed:
        case crNoReply:
            KOVRA_TRACE(QStringLiteral("Leadin Failed"));
            return finish(r);
        case crRejected:
            KOVRA_TRACE(QStringLiteral("Leadin Rejected"));
            return finish(r);
        case crCancelled:
        case crWrongVersion:
        case crUpdateRequired:
            return finish(r);
        default:
            setProgressText(caption);
            break;
        }
    }
    // The module answers each key-half write under the key it holds after it.
    const QString midKey = newKey1 + oldKey2;
    const bool midEnc = SessionEncrypted(newKey1, oldKey2);
    const QString newKey = newKey1 + newKey2;
    const bool newEnc = SessionEncrypted(newKey1, newKey2);
    struct Step {
        QByteArray address;
        QString value;
        bool enc;
        QString key;
        bool ackEnc;
        QString ackKey;
    };
    const Step steps[2] = {
        {QByteArray::fromHex("0004"), newKey1, oldEnc, oldKey, midEnc, midKey},
        {QByteArray::fromHex("0005"), newKey2, midEnc, midKey, newEnc, newKey},
    };
    for (const Step &s : steps) {
        CommResult r = SendCommand(kLocate, s.address, s.enc, s.key);
        if (r != crOk)
            return finish(r);
        Reply loc;
        if (!WaitForResponse(kLocateReply, s.enc, s.key, loc)) {
            writeLog(evProgrammingFailed);
            return finish(crNoReply);
        }
        const QByteArray data = loc.AEEPROMADDRESS + EncodeOptionBytes(s.value, 10);
        KOVRA_TRACE(QStringLiteral("EEPROM WRITE AEEPROMADDRESS = ") + HexDump(loc.AEEPROMADDRESS));
        KOVRA_TRACE(QStringLiteral("EEPROM WRITE AData = ") + HexDump(data));
        r = SendCommand(kWrite, data, s.enc, s.key);
        if (r != crOk)
            return finish(r);
        Reply ack;
        if (!WaitForResponse(kAck, s.ackEnc, s.ackKey, ack)) {
            writeLog(evProgrammingFailed);
            return finish(crNoReply);
        }
    }
    return finish(crOk);
}

} // namespace kovra
