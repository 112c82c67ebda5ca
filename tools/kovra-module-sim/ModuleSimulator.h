#pragma once
// A simulated Kovra module on a TCP port: EEPROM laid out by the catalogue of a
// generation, console sessions, Locate/Read/Write, reset, its own encryption key,
// and faults that can be switched on for tests.
#include "OptionCatalogue.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

namespace kovra {

struct SimFaults {
    int noReplyAfter = -1;   // commands answered; later ones are carried out unanswered; -1 never
    int badChecksumAt = -1;  // 1-based command whose reply carries a wrong sum
    int wrongReplyAt = -1;   // command answered with another reply command
    int reRequestAt = -1;    // command answered by "new session requested"
    int closeAt = -1;        // command on which the module drops the connection
    int delayMs = 0;         // every reply waits this long
    int leadInStatus = -1;   // forced lead-in status (01 rejected, 03 unknown ...)
    int splitReplies = 0;    // reply written in pieces of this many bytes
    bool answerWithoutSession = false;   // option commands answered with no session open
};

struct SimCommand {
    QByteArray command;   // 2 bytes, 7 for the session commands
    QByteArray data;
};

class ModuleSimulator : public QObject {
    Q_OBJECT
public:
    explicit ModuleSimulator(Generation generation = Generation::V14, QObject *parent = nullptr);
    ~ModuleSimulator() override;

    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);
    quint16 port() const;
    QString errorString() const;

    // Options as text values in the form of their validation code.
    QString optionValue(const QString &number) const;
    bool setOptionValue(const QString &number, const QString &value);
    QStringList optionNumbers() const { return m_order; }
    QString installerCode() const { return optionValue(QStringLiteral("006")); }
    void setInstallerCode(const QString &code) { setOptionValue(QStringLiteral("006"), code); }
    QString key() const;   // 32 hex digits from options 004 and 005
    void setKey(const QString &key32);

    // "NNN=value" lines; unknown numbers are reported.
    bool loadValues(const QString &path, QString *error = nullptr);
    bool dumpValues(const QString &path, QString *error = nullptr) const;

    SimFaults faults;
    const QList<SimCommand> &commands() const { return m_log; }
    int commandCount() const { return m_count; }
    void clearLog();
    int resets() const { return m_resets; }
    bool sessionOpen() const { return m_session; }
    int eepromAddress(const QString &number) const;
    int bytesWritten() const { return m_bytesWritten; }   // option bytes of Write commands

signals:
    void resetRequested();
    void commandReceived(const QString &description);

private:
    struct Slot {
        int address = 0;
        int size = 0;
        int code = 0;
    };
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void handle(QTcpSocket *socket, const QByteArray &command, const QByteArray &data);
    void reply(QTcpSocket *socket, const QByteArray &command, const QByteArray &payload);
    void send(QTcpSocket *socket, const QByteArray &unit);
    const Slot *slotAt(int address) const;

    QTcpServer *m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QHash<QString, Slot> m_slots;
    QStringList m_order;
    QByteArray m_eeprom;
    int m_resetAddress = 0;
    QList<SimCommand> m_log;
    int m_count = 0;
    int m_resets = 0;
    int m_bytesWritten = 0;
    bool m_session = false;
    bool m_replyFault = false;
};

} // namespace kovra
