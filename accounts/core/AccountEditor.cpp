#include "AccountEditor.h"

#include "MessageDialogs.h"
#include "OptionCatalogue.h"
#include "Schema.h"
#include "TdmdMain.h"

#if __has_include("ExchangeFiles.h")
#include "ExchangeFiles.h"
#define KOVRA_HAVE_TEMPLATE_FILES 1
#endif

#include <QSqlQuery>
#include <QStringList>
#include <QUuid>

#include <cctype>

namespace kovra {
namespace {

const char *const kGenerations[] = {"010", "011", "012", "013", "014"};

QString padded(const QString &typed, int width, QChar fill)
{
    QString s = typed.left(width).toUpper();
    while (s.size() < width)
        s += fill;
    return s;
}

void parseDotted(const QString &text, long long out[4])
{
    const QStringList parts = text.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i)
        out[i] = i < parts.size() ? parts.at(i).trimmed().toLongLong() : 0;
}

long long clampPort(long long p) { return AccountEditor::Clamp(p, 1, 65535); }

// The ports a new account must not use unless a template sets them: the 1.4x
// defaults of options 009, 015 and 016.
QStringList reservedDefaultPorts()
{
    QStringList ports;
    for (const CatalogueEntry &e : CatalogueEntries(Generation::V14)) {
        const QString n = e.OptionNumber.toUpper();
        if (n == "009" || n == "015" || n == "016")
            ports << e.OptionDefault;
    }
    return ports;
}

} // namespace

AccountEditor::AccountEditor(TdmdMain &dm, Mode mode, int accountId)
    : m_dm(dm), m_mode(mode), m_accountId(mode == Edit ? accountId : 0), m_changed(mode == Add)
{
}

QString AccountEditor::AccountNumberText(const QString &typed) { return padded(typed, 10, QLatin1Char('F')); }
QString AccountEditor::KeyText(const QString &typed) { return padded(typed, 32, QLatin1Char('0')); }
QString AccountEditor::InstallerCodeText(const QString &typed) { return padded(typed, 4, QLatin1Char('0')); }

long long AccountEditor::Clamp(long long value, long long min, long long max)
{
    return value > max ? max : value < min ? min : value;
}

QString AccountEditor::DottedAddress(const long long fields[4])
{
    QStringList parts;
    for (int i = 0; i < 4; ++i)
        parts << QString::number(Clamp(fields[i], 0, 255));
    return parts.join(QLatin1Char('.'));
}

QString AccountEditor::InstallerCodeForGeneration(const QString &generation)
{
    return GenerationIndex(generation) >= 2 ? QStringLiteral("D4E9") : QStringLiteral("B7D2");
}

QString AccountEditor::GenerateKey()
{
    const QUuid u = QUuid::createUuid();
    QString s = QStringLiteral("%1%2%3")
                    .arg(u.data1, 8, 16, QLatin1Char('0'))
                    .arg(u.data2, 4, 16, QLatin1Char('0'))
                    .arg(u.data3, 4, 16, QLatin1Char('0'));
    for (unsigned char b : u.data4)
        s += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    return s.toUpper();
}

bool AccountEditor::IsPastableKey(const QString &text)
{
    if (text.size() != 32)
        return false;
    for (QChar c : text)
        if (!isxdigit(c.toLatin1()) || c.unicode() > 0x7F)
            return false;
    return true;
}

int AccountEditor::GenerationIndex(const QString &code)
{
    for (int i = 0; i < 5; ++i)
        if (code == QLatin1String(kGenerations[i]))
            return i;
    return -1;
}

bool AccountEditor::load(AccountInput &in)
{
    in = AccountInput();
    if (m_mode == Add) {
        in.installerCode = InstallerCodeForGeneration(in.generation);
        m_loadedInput = in;
        m_loaded = true;
        return true;
    }
    QSqlQuery q = RunSql(m_dm.accountDatabase(),
                         "SELECT KovraAccount, KovraKey, KovraIP, Receiver1, Receiver2, Receiver3, "
                         "Receiver1Port, Receiver2Port, Receiver3Port FROM tblKovra WHERE Kovra_ID = ?",
                         {m_accountId});
    if (!q.next())
        return false;
    in.accountNumber = q.value(0).toString();
    in.key = q.value(1).toString();
    parseDotted(q.value(2).toString(), in.moduleAddress);
    for (int r = 0; r < 3; ++r) {
        parseDotted(q.value(3 + r).toString(), in.receivers[r].address);
        in.receivers[r].port = q.value(6 + r).toString().toLongLong();
    }
    static const char *const gatewayOptions[] = {"008", "00C", "010"};
    for (int r = 0; r < 3; ++r)
        parseDotted(m_dm.GetOptionValue(m_accountId, gatewayOptions[r]), in.receivers[r].gateway);
    in.consolePort = m_dm.GetOptionValue(m_accountId, "013").toLongLong();
    in.remotePort = m_dm.GetOptionValue(m_accountId, "00A").toLongLong();
    in.installerCode = m_dm.GetOptionValue(m_accountId, "006");

    const QString version = m_dm.GetOptionValue(m_accountId, "326").left(3);
    if (version == "000" || version == "010")
        m_oldGeneration = QStringLiteral("010");
    else if (GenerationIndex(version) >= 0)
        m_oldGeneration = version;
    else
        m_oldGeneration.clear();   // unknown: shown as V1.0x, counts as 1.0x
    in.generation = m_oldGeneration.isEmpty() ? QStringLiteral("010") : m_oldGeneration;

    m_oldAccountNumber = in.accountNumber;
    m_loadedInput = in;
    m_loaded = true;
    return true;
}

void AccountEditor::markDifferences(const AccountInput &in)
{
    if (!m_loaded || m_changed)
        return;
    const AccountInput &old = m_loadedInput;
    bool differs = AccountNumberText(in.accountNumber) != AccountNumberText(old.accountNumber)
        || KeyText(in.key) != KeyText(old.key)
        || InstallerCodeText(in.installerCode) != InstallerCodeText(old.installerCode)
        || DottedAddress(in.moduleAddress) != DottedAddress(old.moduleAddress);
    for (int r = 0; r < 3 && !differs; ++r)
        differs = DottedAddress(in.receivers[r].address) != DottedAddress(old.receivers[r].address)
            || DottedAddress(in.receivers[r].gateway) != DottedAddress(old.receivers[r].gateway);
    if (differs)
        m_changed = true;
}

AccountSaveOutcome AccountEditor::save(const AccountInput &typed)
{
    // 1. numeric fields into their ranges
    AccountInput in = typed;
    for (long long &f : in.moduleAddress)
        f = Clamp(f, 0, 255);
    in.consolePort = clampPort(in.consolePort);
    in.remotePort = clampPort(in.remotePort);
    for (auto &r : in.receivers) {
        for (long long &f : r.address)
            f = Clamp(f, 0, 255);
        for (long long &f : r.gateway)
            f = Clamp(f, 0, 255);
        r.port = clampPort(r.port);
    }
    markDifferences(in);

    // 3. account number
    const QString number = AccountNumberText(in.accountNumber);
    if (!IsAccountCodeValid(number, in.generation)) {
        ShowTimedError(QStringLiteral("Invalid Account Number."), -5000);
        return {AccountEditorResult::KeepOpen, m_accountId};
    }
    // 4. uniqueness
    if (m_mode == Edit) {
        // Case-blind like the engine: an imported lower-case number is still this account.
        if (number.compare(m_oldAccountNumber, Qt::CaseInsensitive) != 0 && m_dm.AccountExists(number)) {
            ShowTimedError(QStringLiteral(" Account Number ") + number + QStringLiteral(" has already exists.")
                               + QStringLiteral(" Please provide another Number or set default value."),
                           4000);
            return {AccountEditorResult::KeepOpen, m_accountId};
        }
        return saveEdit(in);
    }
    if (m_dm.AccountExists(number)) {
        ShowTimedError(QStringLiteral(" Account Number ") + number + QStringLiteral(" already exists.")
                           + QStringLiteral(" Please use a unique account code."),
                       4000);
        return {AccountEditorResult::KeepOpen, m_accountId};
    }
    return saveNew(in);
}

static AccountValues valuesOf(const AccountInput &in)
{
    AccountValues v;
    v.accountNumber = AccountEditor::AccountNumberText(in.accountNumber);
    v.key = AccountEditor::KeyText(in.key);
    v.moduleAddress = AccountEditor::DottedAddress(in.moduleAddress);
    for (int r = 0; r < 3; ++r) {
        v.receiver[r] = AccountEditor::DottedAddress(in.receivers[r].address);
        v.gateway[r] = AccountEditor::DottedAddress(in.receivers[r].gateway);
        v.receiverPort[r] = QString::number(in.receivers[r].port);
    }
    v.installerCode = AccountEditor::InstallerCodeText(in.installerCode);
    v.remotePort = QString::number(in.remotePort);
    v.consolePort = QString::number(in.consolePort);
    v.generationCode = in.generation;
    return v;
}

AccountSaveOutcome AccountEditor::saveNew(const AccountInput &in)
{
    const AccountValues values = valuesOf(in);
    int id = 0;
    bool created = false;
    if (!AskQuestion(QStringLiteral("Add New Account"),
                     QStringLiteral("Do you wish to load a Template set of Options?"), MessageKind::YesNo)) {
        FileDialogRequest request;
        request.title = QStringLiteral("Open Kovra Template");
        request.filter = QStringLiteral("Kovra Template Files (*.tpl)");
        request.defaultSuffix = QStringLiteral("tpl");
        request.mustExist = true;
        const QString file = OpenFileName(request);
        if (!file.isEmpty()) {
            m_dm.setTemplateGeneration(in.generation);
#ifdef KOVRA_HAVE_TEMPLATE_FILES
            const int loaded = LoadTemplateFile(m_dm, file);
#else
            const int loaded = 0;
#endif
            if (loaded == 2) {
                ShowTimedError(QStringLiteral("Incorrect Kovra Template version."), -5000);
                return {AccountEditorResult::KeepOpen, 0};
            }
            // A file that is no template was reported by the loader; the
            // account then takes the catalogue defaults.
            id = loaded == 1 ? m_dm.AddTemplateOptions(values, in.generation) : m_dm.AddDefaultOptions(values);
            created = true;
        }
    }
    if (!created) {
        const QStringList reserved = reservedDefaultPorts();
        if (reserved.contains(values.consolePort) || reserved.contains(values.remotePort)) {
            ShowTimedError(QStringLiteral("There Are Conflicting Ports With Default Values. "
                                          "Please Use Different Port Values."),
                           -5000);
            return {AccountEditorResult::KeepOpen, 0};
        }
        id = m_dm.AddDefaultOptions(values);
    }
    m_accountId = id;
    m_dm.WriteLogEvent(109, values.accountNumber);
    return {AccountEditorResult::Changed, id};
}

AccountSaveOutcome AccountEditor::saveEdit(const AccountInput &in)
{
    const int oldIndex = m_oldGeneration.isEmpty() ? 0 : GenerationIndex(m_oldGeneration);
    const int newIndex = GenerationIndex(in.generation);
    if (oldIndex < newIndex) {
        if (!AskQuestion(QStringLiteral("Upgrade Account"),
                         QStringLiteral("Do you wish to upgrade this account to the selected version?"),
                         MessageKind::YesNo)) {
            int newId = 0;
            if (m_dm.UpgradeAccount(m_accountId, m_oldGeneration, &newId, in.generation)) {
                m_accountId = newId;
                m_oldGeneration = in.generation;   // a later Save must not ask again
            }
        }
    }
    if (newIndex < oldIndex) {
        ShowError(QStringLiteral("You cannot downgrade an account. You must delete the account and create a new one."));
        return {AccountEditorResult::Cancelled, m_accountId};
    }

    const QString consolePort = QString::number(in.consolePort);
    for (const char *opt : {"009", "00D", "011", "015", "016"}) {
        if (m_dm.GetOptionValue(m_accountId, opt) == consolePort) {
            ShowTimedError(QStringLiteral("There are conflicting ports with programmed values. "
                                          "Please check the programming before changing the port values."),
                           -5000);
            return {AccountEditorResult::KeepOpen, m_accountId};
        }
    }

    const AccountValues v = valuesOf(in);
    {
        // Account row and its mirrored options change together or not at all.
        Transaction t(m_dm.accountDatabase());
        RunSql(m_dm.accountDatabase(),
               "UPDATE tblKovra SET KovraAccount = ?, KovraKey = ?, KovraIP = ?, "
               "Receiver1 = ?, Receiver2 = ?, Receiver3 = ?, "
               "Receiver1Gateway = ?, Receiver2Gateway = ?, Receiver3Gateway = ?, "
               "Receiver1Port = ?, Receiver2Port = ?, Receiver3Port = ? WHERE Kovra_ID = ?",
               {Text(v.accountNumber), Text(v.key), Text(v.moduleAddress), Text(v.receiver[0]),
                Text(v.receiver[1]), Text(v.receiver[2]), Text(v.gateway[0]), Text(v.gateway[1]),
                Text(v.gateway[2]), Text(v.receiverPort[0]), Text(v.receiverPort[1]),
                Text(v.receiverPort[2]), m_accountId});
        // Option 001 stays: the module address field is only how the console reaches the module.
        const QPair<const char *, QString> mirrors[] = {
            {"003", v.accountNumber},   {"004", v.key.left(16)},    {"005", v.key.mid(16, 16)},
            {"007", v.receiver[0]},     {"00B", v.receiver[1]},     {"00F", v.receiver[2]},
            {"008", v.gateway[0]},      {"00C", v.gateway[1]},      {"010", v.gateway[2]},
            {"013", v.consolePort},     {"00A", v.remotePort},      {"006", v.installerCode},
        };
        for (const auto &m : mirrors)
            m_dm.SetOptionValue(m_accountId, QString::fromLatin1(m.first), m.second);
        t.commit();
    }
    m_oldAccountNumber = v.accountNumber;
    m_dm.WriteLogEvent(110, v.accountNumber);
    return {m_changed ? AccountEditorResult::Changed : AccountEditorResult::Unchanged, m_accountId};
}

} // namespace kovra
