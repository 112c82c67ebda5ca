#pragma once
// The device link to a module: framing and transport over TCP, the console
// session, option transfers, reset and key change. All exchanges run on the
// thread that owns the object; every wait keeps that thread's event loop running.
#include "CommResult.h"
#include "KovraOptionRow.h"

#include <QByteArray>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QSqlQuery;
class QTcpSocket;
class QEventLoop;

namespace kovra {

class ProgressScope;

class TdmdCommunication : public QObject {
    Q_OBJECT
public:
    explicit TdmdCommunication(QObject *parent = nullptr);
    ~TdmdCommunication() override;

    // --- link and account -------------------------------------------------
    // Host and port of CmdPortTCP; a change takes effect at the next connect.
    void setModuleHost(const QString &host, quint16 port);
    QString moduleHost() const { return m_host; }
    quint16 modulePort() const { return m_port; }
    QTcpSocket *CmdPortTCP() const { return m_socket; }

    // Account database for queKovraPort, queGetOption, queChangeOption.
    void setAccountDatabase(const QSqlDatabase &db) { m_dbHandle = db; }
    // For a data module that may reopen its database: asked before each use.
    void setAccountDatabaseProvider(std::function<QSqlDatabase()> provider) { m_dbProvider = std::move(provider); }
    QSqlDatabase accountDatabase() const { return m_dbProvider ? m_dbProvider() : m_dbHandle; }
    // Account whose number goes into the audit events.
    void setCurrentAccount(int kovraId);
    int currentAccount() const { return m_kovraId; }
    QString currentAccountNumber() const { return m_accountNumber; }
    // Audit events (105, 106, 107, ...) with the account number as subject.
    using LogWriter = std::function<void(int code, const QString &subject)>;
    void setLogWriter(LogWriter writer) { m_log = std::move(writer); }

    QString ModuleAddress() const;          // KovraIP of the current account
    int ConsolePort(int kovraId) const;     // option 013, 3064 without the row

    // Time-outs in ms (10,000 each in service); tests shorten them.
    void setReadTimeout(int ms);
    void setWatchdogTimeout(int ms) { m_watchdogMs = ms; }

    // Presses Cancel from outside the progress window (kovra-cli's Ctrl-C).
    // Safe from a signal handler.
    void requestCancel() { m_cancelRequested.store(true); }

    // --- session fields ---------------------------------------------------
    QString InstallerCode;
    QByteArray LastCommand;
    QByteArray LastData;
    bool SessionOpen = false;
    QString ExpectedVersion;
    QString ModuleVersion;
    bool ReadTimedOut = false;

    // --- transport --------------------------------------------------------
    CommResult SendCommand(const QByteArray &ACommand, const QByteArray &AData, bool AEncrypt,
                           const QString &AKey);
    struct Reply {
        int ASize = 0;               // in: bytes expected by a 00 0B reply; out: size of 00 09
        QByteArray AData;
        int AType = 0;
        QByteArray AOption;
        QByteArray AEEPROMADDRESS;
    };
    bool WaitForResponse(const QByteArray &ACommand, bool AEncrypt, const QString &AKey, Reply &reply);
    void CloseConnection();   // traces "*TCP DISCONNECTED*"

    // --- session and transfers --------------------------------------------
    CommResult LeadInOut(const QString &AKey, bool AEncrypt, KovraOptionList *options, bool ALeadIn);
    // Rows are 1-based; with range false every row but the last (option 385).
    CommResult GetOptions(KovraOptionList &options, const QString &caption, bool range, int first,
                          int last, bool AEncrypt, const QString &AKey, bool nested = false);
    CommResult SetOptions(KovraOptionList &options, const QString &caption, bool range, int first,
                          int last, bool AEncrypt, const QString &AKey);
    CommResult GetAllOptions(KovraOptionList &options, const QString &caption, bool range, int first,
                             int last, bool AEncrypt, const QString &AKey);
    CommResult SetAllOptions(KovraOptionList &options, const QString &caption, bool range, int first,
                             int last, bool AEncrypt, const QString &AKey);
    CommResult ResetModule(const QString &AKey, bool AEncrypt);
    // Halves of 16 hex digits each.
    CommResult ChangeEncryptionKey(const QString &caption, const QString &oldKey1,
                                   const QString &oldKey2, const QString &newKey1,
                                   const QString &newKey2);

    // Index of the last user option for a version text ("0140" -> 72).
    static int LastUserIndex(const QString &version);

private:
    friend class ProgressUse;
    enum class WaitEnd { Done, Cancelled, Watchdog, Closed, ReadTimer };
    WaitEnd waitFor(const std::function<bool()> &done, const QString &what, bool stopOnReadTimer);
    bool connectLink();
    bool cancelled();
    void setProgressText(const QString &text);
    void setProgressPercent(int percent);
    void writeLog(int code);
    std::optional<CommResult> sessionStep(KovraOptionList &options, const QString &caption,
                                          bool AEncrypt, const QString &AKey);
    CommResult versionCheck(KovraOptionList &options, bool AEncrypt, const QString &AKey);
    bool checkWritable(const KovraOptionRow &row, const QString &value, QByteArray *bytes);
    // One command and its reply: the send result, crCancelled or crNoReply when
    // the wait fails, crOk with the reply filled.
    CommResult exchange(const QByteArray &command, const QByteArray &data, const QByteArray &replyCommand,
                        Reply &reply, bool AEncrypt, const QString &AKey);
    void storeTempValue(KovraOptionRow &row, const QString &value, QSqlQuery *prepared = nullptr);
    QString storedValue(const KovraOptionRow &row);

    QTcpSocket *m_socket;
    QTimer m_readTimer;   // tmrReadTimeout
    QTimer m_pollTimer;
    QEventLoop *m_loop = nullptr;
    bool m_woken = false;
    QString m_host;
    quint16 m_port = 3064;
    int m_watchdogMs = 10000;
    int m_reRequestDepth = 0;
    QSqlDatabase m_dbHandle;
    std::function<QSqlDatabase()> m_dbProvider;
    int m_kovraId = 0;
    QString m_accountNumber;
    LogWriter m_log;
    std::unique_ptr<ProgressScope> m_progress;
    QString m_progressText;
    std::atomic<bool> m_cancelRequested{false};
};

} // namespace kovra
