#include "OptionCatalogue.h"

#include <QHash>

namespace kovra {

namespace {

const char *const kHeader =
    "OptionNumber*OptionName*OptionPanelType*OptionType and Validation*OptionDefault*"
    "OptionEffect*Option Description*";

// One line of the newest catalogue. The default of a text option is a single
// blank because the word rule cannot carry an empty field.
QString entryLine(const QString &number, const QString &name, const QString &panel,
                  const QString &validation, const QString &def, const QString &effect,
                  const QString &description)
{
    return number + '*' + name + '*' + panel + '*' + validation + '*' + def + '*' + effect + '*'
        + description + '*';
}

QStringList buildNewestLines()
{
    QStringList l;
    l << QString::fromLatin1(kHeader);
    auto add = [&l](const char *number, const char *name, const char *panel, const char *validation,
                    const char *def, const char *effect, const char *description) {
        l << entryLine(QString::fromLatin1(number), QString::fromLatin1(name),
                       QString::fromLatin1(panel), QString::fromLatin1(validation),
                       QString::fromLatin1(def), QString::fromLatin1(effect),
                       QString::fromLatin1(description));
    };
    add("001", "IP_Address", "30", "01", "192.168.0.99", "Reset",
        "Kovra KV5xx IP address. If set to 0.0.0.0, DHCP is used");
    add("002", "Subnet_Mask", "30", "01", "255.255.0.0", "Reset", "Kovra KV5xx subnet mask");
    add("003", "AccountCode", "  ", "11", "0000FFFFFF", "Immediate", "Kovra KV5xx Account Code");
    add("004", "EncryptKey1", "NA", "10", "0000000000000000", "Reset",
        "Receiver encryption password Part 1");
    add("005", "EncryptKey2", "NA", "10", "0000000000000000", "Reset",
        "Receiver encryption password Part 2");
    add("006", "InstallerCode", "NA", "07", "D4E9", "Immediate",
        "Installer Code Password For Programming");
    add("007", "Receiver1IP", "30", "01", "0.0.0.0", "Reset", "Receiver 1 IP Address");
    add("008", "Gateway1IP", "30", "01", "0.0.0.0", "Reset", "Gateway 1 IP Address");
    add("009", "Receiver1LocalPort", "11", "02", "3060", "Reset", "Receiver 1 local port");
    add("00A", "Receiver1RemotePort", "11", "02", "3061", "Reset", "Receiver 1 remote port");
    add("00B", "Receiver2IP", "30", "01", "0.0.0.0", "Reset", "Receiver 2 IP Address");
    add("00C", "Gateway2IP", "30", "01", "0.0.0.0", "Reset", "Gateway 2 IP Address");
    add("00D", "Receiver2LocalPort", "11", "02", "3065", "Reset", "Receiver 2 local port");
    add("00E", "Receiver2RemotePort", "11", "02", "3061", "Reset", "Receiver 2 remote port");
    add("00F", "Receiver3IP", "30", "01", "0.0.0.0", "Reset", "Receiver 3 IP Address");
    add("010", "Gateway3IP", "30", "01", "0.0.0.0", "Reset", "Gateway 3 IP Address");
    add("011", "Receiver3LocalPort", "11", "02", "3066", "Reset", "Receiver 3 local port");
    add("012", "Receiver3RemotePort", "11", "02", "3061", "Reset", "Receiver 3 remote port");
    add("013", "ConsolePort", "11", "02", "3064", "Reset", "Console port");
    add("014", "TFTPPort", "11", "02", "69", "Immediate", "TFTP Port");
    add("015", "UPKPort", "11", "02", "3062", "Reset", "UPK port");
    add("016", "SAPort", "11", "02", "3063", "Reset", "SA port");
    add("017", "Supervision", "00", "05", "0", "Reset", "Network Supervision Enable");
    add("018", "ReceiverAbsentDebounce", "11", "07", "0078", "Immediate",
        "Receiver Absent Debounce Time");
    add("019", "ReceiverRestoralDebounce", "11", "07", "003C", "Immediate",
        "Receiver Restoral Debounce Time");
    add("01A", "EMail1", "NA", "08", " ", "Immediate", "Email address 1");
    add("01B", "EMail2", "NA", "08", " ", "Immediate", "Email address 2");
    add("01C", "EmailFrom", "NA", "08", " ", "Immediate", "From field definition in email");
    add("01D", "DNSIP", "30", "01", "0.0.0.0", "Reset", "DNS server IP address");
    add("01E", "SMTPServer", "NA", "08", " ", "Immediate", "SMTP server name");
    add("01F", "SMTPAccount", "NA", "08", " ", "Immediate", "Email account");
    add("020", "SMTPPassword", "NA", "13", " ", "Immediate", "Email password");
    add("021", "TroubleMask1", "11", "04", "0F", "Reset", "Reset Programmable trouble masks 1");
    add("022", "TroubleMask2", "11", "04", "00", "Reset", "Reset Programmable trouble masks 2");
    add("023", "PGMOut1", "01", "05", "0", "Reset",
        "Programmable output. If set to 0, output is disabled");
    for (int i = 1; i <= 12; ++i) {
        const QString nn = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        l << entryLine(QStringLiteral("%1").arg(0x23 + i, 3, 16, QLatin1Char('0')).toUpper(),
                       "InputType" + nn, "00", "03", "00", "Immediate",
                       "Digital Input " + nn + " Definition");
    }
    add("030", "InputCfg01", "00", "05", "0", "Immediate", "Digital Input 01 Configuration");
    add("031", "InputCfg02-04", "00", "05", "0", "Immediate", "Digital Input 02 - 04 Configuration");
    for (int i = 1; i <= 12; ++i) {
        const QString nn = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        l << entryLine(QStringLiteral("%1").arg(0x31 + i, 3, 16, QLatin1Char('0')).toUpper(),
                       "SIACode" + nn, "00", "04", "FF", "Immediate",
                       "Digital Input " + nn + " SIA Reporting Code");
    }
    add("03E", "Fire_Time_On", "11", "04", "05", "Immediate",
        "Minimum time bell must be pulsed on to be considered a fire pulse ON");
    add("03F", "Fire_Time_Off", "11", "04", "05", "Immediate",
        "Minimum time bell must be silent to be considered a fire pulse OFF");
    add("040", "RestoralDelayTime", "11", "04", "64", "Immediate",
        "Minimum time bell must be silent (no activity)to restore bell burglary/fire");
    add("041", "FirePulseCount", "11", "04", "03", "Reset",
        "Minimum number of fire On Time / Off Time cycles to generate bell fire alarm");
    add("042", "SiaAckTime", "00", "04", "02", "Immediate",
        "Number of seconds to wait for response from receiver");
    add("043", "DVACS Account", "00", "04", "00", "Reset", "DVACS ID code. Set to 0 to disable DVACS");
    add("044", "DVACS Extended", "00", "04", "01", "Immediate", "DVACS Extended Option");
    add("045", "Kissoff Duration", "00", "04", "08", "Immediate", "Kissoff Duration");
    add("046", "Handshake Selection", "00", "04", "2D", "Immediate", "Handshake Selection");
    add("047", "DialtoneSelection", "00", "04", "00", "Immediate", "Dialtone Selection");
    add("048", "HeartbeatInterval", "00", "04", "0A", "Reset", "HeartBeat Interval");
    add("321", "DebugOption_0", "NA", "04", "00", "Immediate", "Bit Field For Task Debug Enables");
    add("322", "DebugOption_1", "NA", "04", "00", "Immediate", "Bit Field For Task Debug Enables");
    add("323", "TftpBootFlag", "NA", "05", "0", "Immediate", "Powerup TFTP Boot Flag");
    add("324", "TftpServerIP", "NA", "01", "0.0.0.0", "Immediate", "Powerup TFTP Server IP");
    add("325", "MACAddress", "NA", "12", "02C0DE000000", "Immediate", "Board MAC Address");
    add("326", "SoftwareVersion", "NA", "07", "0140", "Immediate", "Software Version");
    add("327", "SoftwareTest", "NA", "07", "0000", "Immediate", "Software Test");
    add("328", "BootVersion", "NA", "07", "0000", "Immediate", "BootLoader Code Version");
    add("329", "BootTest", "NA", "07", "0000", "Immediate", "BootLoader Code Test");
    add("32A", "DSPVersion", "NA", "07", "0000", "Immediate", "DSP Code Version");
    add("32B", "DSPTest", "NA", "07", "0000", "Immediate", "DSP Code Test");
    add("32C", "TFTPClientIP", "30", "01", "0.0.0.0", "Immediate", "TFTP Client IP address");
    add("385", "CurrentIPAddress", "30", "01", "0.0.0.0", "Immediate", "Current IP Address");
    return l;
}

// How an older generation differs from the newest: the user options after its
// last one are absent, and some defaults differ.
struct GenerationDiff {
    int lastUserOption;                           // hex value of the last user option
    QList<QPair<const char *, const char *>> defaults;
};

GenerationDiff diffOf(Generation g)
{
    switch (g) {
    case Generation::V10:
        return {0x042, {{"002", "255.255.255.0"}, {"006", "B7D2"}, {"326", "0100"}}};
    case Generation::V11:
        return {0x044, {{"006", "B7D2"}, {"326", "0110"}}};
    case Generation::V12:
        return {0x047, {{"326", "0120"}}};
    case Generation::V13:
        return {0x047, {{"326", "0130"}}};
    case Generation::V14:
        break;
    }
    return {0x048, {}};
}

QStringList buildLines(Generation g)
{
    const QStringList newest = buildNewestLines();
    if (g == Generation::V14)
        return newest;
    const GenerationDiff diff = diffOf(g);
    QStringList out;
    out << newest.first();
    for (int i = 1; i < newest.size(); ++i) {
        const QString &line = newest[i];
        const QString number = Word(line, 1);
        const int value = number.toInt(nullptr, 16);
        // User options live below 0x100; the module's own (321.., 385) are in every generation.
        if (value < 0x100 && value > diff.lastUserOption)
            continue;
        QString changed = line;
        for (const auto &d : diff.defaults) {
            if (number == QLatin1String(d.first)) {
                QStringList fields = line.split('*');   // exact fields: the line has no runs
                fields[4] = QString::fromLatin1(d.second);
                changed = fields.join('*');
            }
        }
        out << changed;
    }
    return out;
}

QList<CatalogueEntry> buildEntries(const QStringList &lines)
{
    QList<CatalogueEntry> entries;
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList w = SplitWords(lines[i]);
        CatalogueEntry e;
        e.OptionNumber = w.value(0);
        e.OptionName = w.value(1);
        e.OptionPanelType = w.value(2);
        e.OptionTypeValidation = w.value(3);
        e.OptionDefault = w.value(4).trimmed();
        e.OptionEffect = w.value(5);
        e.OptionDescription = w.value(6);
        entries << e;
    }
    return entries;
}

int generationIndex(Generation g) { return static_cast<int>(g); }

struct Catalogues {
    QStringList lines[5];
    QList<CatalogueEntry> entries[5];
    QHash<QString, int> newestIndex;   // upper-case number -> 1-based line
    Catalogues()
    {
        for (int i = 0; i < 5; ++i) {
            lines[i] = buildLines(static_cast<Generation>(i));
            entries[i] = buildEntries(lines[i]);
        }
        const auto &newest = entries[generationIndex(Generation::V14)];
        for (int i = 0; i < newest.size(); ++i)
            newestIndex.insert(newest[i].OptionNumber, i + 1);
    }
};

const Catalogues &catalogues()
{
    static const Catalogues c;
    return c;
}

bool inGroup(const QString &number, std::initializer_list<const char *> group, bool ignoreCase)
{
    for (const char *g : group) {
        if (number.compare(QLatin1String(g), ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0)
            return true;
    }
    return false;
}

// Unreadable text counts as 0, as does a value too wide for its field.
std::uint64_t readHex(const QString &text, int maxDigits)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > maxDigits)
        return 0;
    bool ok = false;
    const qulonglong v = t.toULongLong(&ok, 16);
    return ok ? v : 0;
}

// A number outside its field is as unreadable as a letter: wrapping it would
// send a different value than the one shown.
std::uint32_t readDecimal(const QString &text, std::uint32_t max)
{
    bool ok = false;
    const uint v = text.trimmed().toUInt(&ok, 10);
    return ok && v <= max ? v : 0;
}

QByteArray bigEndian(std::uint64_t value, int bytes)
{
    QByteArray out(bytes, '\0');
    for (int i = bytes - 1; i >= 0; --i) {
        out[i] = char(value & 0xFF);
        value >>= 8;
    }
    return out;
}

} // namespace

const QStringList &CatalogueLines(Generation g)
{
    return catalogues().lines[generationIndex(g)];
}

const QList<CatalogueEntry> &CatalogueEntries(Generation g)
{
    return catalogues().entries[generationIndex(g)];
}

bool GenerationFromCode(const QString &code, Generation *out)
{
    static const char *const codes[] = {"010", "011", "012", "013", "014"};
    for (int i = 0; i < 5; ++i) {
        if (code == QLatin1String(codes[i])) {
            if (out)
                *out = static_cast<Generation>(i);
            return true;
        }
    }
    return false;
}

QString GenerationCode(Generation g)
{
    return QStringLiteral("%1").arg(0x10 + generationIndex(g), 3, 16, QLatin1Char('0'));
}

QString GenerationVersion(Generation g)
{
    return GenerationCode(g) + '0';
}

Generation TemplateGeneration(const QString &code)
{
    Generation g = Generation::V10;
    if (GenerationFromCode(code, &g))
        return g;
    return Generation::V10;
}

QString GenerationCodeOfVersion(const QString &version)
{
    const QString code = version.left(3).toUpper();
    return code == QLatin1String("000") ? QStringLiteral("010") : code;
}

QStringList SplitWords(const QString &line)
{
    return line.split('*', Qt::SkipEmptyParts);
}

QString Word(const QString &line, int n)
{
    if (n < 1)
        return QString();
    int count = 0;
    int i = 0;
    const int len = line.size();
    while (i < len) {
        while (i < len && line[i] == QLatin1Char('*'))
            ++i;
        if (i >= len)
            break;
        int end = i;
        while (end < len && line[end] != QLatin1Char('*'))
            ++end;
        if (++count == n)
            return line.mid(i, end - i);
        i = end;
    }
    return QString();
}

int CatalogueIndexOf(const QString &optionNumber)
{
    const Catalogues &c = catalogues();
    const auto it = c.newestIndex.constFind(optionNumber.toUpper());
    if (it != c.newestIndex.constEnd())
        return it.value();
    return int(c.lines[generationIndex(Generation::V14)].size());
}

const CatalogueEntry *FindCatalogueEntry(const QString &optionNumber)
{
    const Catalogues &c = catalogues();
    const auto it = c.newestIndex.constFind(optionNumber.toUpper());
    if (it == c.newestIndex.constEnd())
        return nullptr;
    return &c.entries[generationIndex(Generation::V14)][it.value() - 1];
}

QString DisplayNumber(const QString &optionNumber)
{
    bool ok = false;
    const int v = optionNumber.trimmed().toInt(&ok, 16);
    if (!ok || v < 0)
        return QString();
    return QStringLiteral("%1").arg(v, 3, 10, QLatin1Char('0'));
}

QString OptionNumberFromDisplay(const QString &displayNumber)
{
    bool ok = false;
    const int v = displayNumber.trimmed().toInt(&ok, 10);
    if (!ok || v < 0)
        return QString();
    return QStringLiteral("%1").arg(v, 3, 16, QLatin1Char('0')).toUpper();
}

bool IsReadOnlyOption(const QString &optionNumber)
{
    return inGroup(optionNumber, {"325", "326", "327", "328", "329", "32A", "32B", "32C", "385"}, true);
}

bool IsReceiverTableOption(const QString &optionNumber)
{
    // Option numbers are stored upper-case; callers pass them as stored.
    return inGroup(optionNumber, {"003", "004", "005", "007", "00B", "00F"}, false);
}

bool IsLocalPortOption(const QString &optionNumber)
{
    return inGroup(optionNumber, {"009", "00D", "011", "013", "015", "016"}, true);
}

bool IsAccountMirrorOption(const QString &optionNumber)
{
    return inGroup(optionNumber,
                   {"001", "003", "004", "005", "006", "007", "008", "00A", "00B", "00C", "00F",
                    "010", "013", "326"},
                   true);
}

OptionValueParts EncodeOptionValue(const QString &value, const QString &validationCode)
{
    OptionValueParts parts;
    bool ok = false;
    const int code = validationCode.trimmed().toInt(&ok, 10);
    if (!ok)
        return parts;
    switch (code) {
    case 1: {
        const QStringList p = value.trimmed().split('.');
        std::uint32_t n = 0;
        for (int i = 0; i < 4; ++i)
            n = (n << 8) | readDecimal(p.value(i), 0xFF);
        parts.number = n;
        break;
    }
    case 2:
        parts.number = readDecimal(value, 0xFFFF);
        break;
    case 3:
    case 4:
    case 5:
        parts.number = std::uint32_t(readHex(value, 2) & 0xFF);
        break;
    case 6:
        parts.number = readDecimal(value, 0xFF);
        break;
    case 7:
        parts.number = std::uint32_t(readHex(value, 4) & 0xFFFF);
        break;
    case 8:
    case 9:
    case 10:
    case 13:
    case 14:
    case 15:
        parts.bytes = value.toLatin1();
        break;
    case 11:
        // Ten digits; eight digits are read with "00" in front, which the numeric
        // read gives for any shorter text.
        parts.bytes = bigEndian(readHex(value, 10), 5);
        break;
    case 12:
        parts.bytes = bigEndian(readHex(value, 12), 6);
        break;
    default:
        break;
    }
    return parts;
}

const QStringList &InputTypeList()
{
    static const QStringList list = {
        QStringLiteral("00 = Zone Disabled"),
        QStringLiteral("03 = Instant (BA/BH)"),
        QStringLiteral("08 = 24 Hour Fire (FA/FH)"),
        QStringLiteral("11 = 24 Hour Burglary (BA/BH)"),
        QStringLiteral("16 = 24 Hour Panic (PA/PH)"),
        QStringLiteral("21 = 24 Hour Tamper (TA/TH)"),
        QStringLiteral("23 = Keyswitch (CS/OS)"),
        QStringLiteral("99 = Bell Follower (BA/BH or FA/FH)"),
        QStringLiteral("98 = Panel Absent (ET/ER)"),
    };
    return list;
}

const QStringList &TroubleMaskBits(const QString &optionNumber)
{
    static const QStringList mask1 = {
        QStringLiteral("Network Absent"), QStringLiteral("Invalid Account"),
        QStringLiteral("Receiver 1 Absent"), QStringLiteral("Panel Absent"),
        QStringLiteral("Zone Alarms"), QStringLiteral("FTC 1"),
        QStringLiteral("XM7201 Absent"), QStringLiteral("XM7201 Tamper"),
    };
    static const QStringList mask2 = {
        QStringLiteral("FTC2"), QStringLiteral("Keyswitch Arm"),
        QStringLiteral("Remote Program"), QStringLiteral("Local Program"),
        QStringLiteral("Receiver 2 Absent"), QStringLiteral("N/A"),
        QStringLiteral("N/A"), QStringLiteral("N/A"),
    };
    static const QStringList none;
    if (optionNumber == QLatin1String("021"))
        return mask1;
    if (optionNumber == QLatin1String("022"))
        return mask2;
    return none;
}

} // namespace kovra
