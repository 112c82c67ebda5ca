#include "IniFile.h"

#include "KovraHome.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace kovra {

IniFile::IniFile(const QString &path) : m_path(path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = f.readAll().split('\n');
    Section *current = nullptr;
    for (QByteArray raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const int close = line.indexOf(QLatin1Char(']'));
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            current = &obtain(name);
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (!current || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        bool replaced = false;
        for (auto &e : current->entries)
            if (e.first.compare(key, Qt::CaseInsensitive) == 0) {
                replaced = true;   // the first occurrence wins, as profile readers do
                break;
            }
        if (!replaced)
            current->entries.append({key, value});
    }
}

const IniFile::Section *IniFile::find(const QString &name) const
{
    for (const Section &s : m_sections)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

IniFile::Section &IniFile::obtain(const QString &name)
{
    for (Section &s : m_sections)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return s;
    m_sections.append({name, {}});
    return m_sections.last();
}

bool IniFile::hasKey(const QString &section, const QString &key) const
{
    if (const Section *s = find(section))
        for (const auto &e : s->entries)
            if (e.first.compare(key, Qt::CaseInsensitive) == 0)
                return true;
    return false;
}

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    if (const Section *s = find(section))
        for (const auto &e : s->entries)
            if (e.first.compare(key, Qt::CaseInsensitive) == 0)
                return e.second;
    return def;
}

int IniFile::readInteger(const QString &section, const QString &key, int def) const
{
    if (!hasKey(section, key))
        return def;
    const QString v = readString(section, key);
    int i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == QLatin1Char('-') || v[i] == QLatin1Char('+')))
        negative = v[i++] == QLatin1Char('-');
    qint64 n = 0;
    for (; i < v.size() && v[i].isDigit() && n < 0x80000000LL; ++i)
        n = n * 10 + v[i].digitValue();
    n = negative ? -n : n;
    if (n > 0x7FFFFFFFLL || n < -0x80000000LL)
        return def;
    return int(n);
}

bool IniFile::readBool(const QString &section, const QString &key, bool def) const
{
    return readInteger(section, key, def ? 1 : 0) != 0;
}

IniFile::Entries IniFile::section(const QString &name) const
{
    const Section *s = find(name);
    return s ? s->entries : Entries();
}

QList<QString> IniFile::sections() const
{
    QList<QString> names;
    for (const Section &s : m_sections)
        names << s.name;
    return names;
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    Section &s = obtain(section);
    for (auto &e : s.entries)
        if (e.first.compare(key, Qt::CaseInsensitive) == 0) {
            e.second = value;
            return;
        }
    s.entries.append({key, value});
}

void IniFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::eraseSection(const QString &section)
{
    for (int i = 0; i < m_sections.size(); ++i)
        if (m_sections[i].name.compare(section, Qt::CaseInsensitive) == 0) {
            m_sections.removeAt(i);
            return;
        }
}

bool IniFile::save()
{
    QByteArray out;
    for (const Section &s : m_sections) {
        if (!out.isEmpty())
            out += "\r\n";
        out += '[' + s.name.toUtf8() + "]\r\n";
        for (const auto &e : s.entries)
            out += e.first.toUtf8() + '=' + e.second.toUtf8() + "\r\n";
    }
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size() || !f.commit()) {
        m_error = f.errorString();
        return false;
    }
    m_error.clear();
    return true;
}

QString ConfigFileName() { return QStringLiteral("KOVRACONSOLE.INI"); }
QString ConfigFilePath() { return HomePath(ConfigFileName()); }
QString ConfigSection() { return QStringLiteral("Config"); }

QStringList GridLayoutSections()
{
    return {QStringLiteral("TfrmKovraLocalProgramdbgKovra"), QStringLiteral("TfrmKovraRemoteProgramdbgKovra"),
            QStringLiteral("TfrmReceiverKovraTabledbgKovra")};
}

QString WriteErrorText() { return QStringLiteral("An error occurred when writing to the KOVRACONSOLE.INI file."); }

Settings ReadSettings(const QString &path)
{
    const IniFile ini(path);
    const QString c = ConfigSection();
    Settings d;
    Settings s;
    s.autoLogoutTime = ini.readInteger(c, QStringLiteral("AUTOLOGOUTTIME"), d.autoLogoutTime);
    s.noAutoLogout = ini.readBool(c, QStringLiteral("AUTOLOGOUT"), d.noAutoLogout);
    s.noPasswordExpire = ini.readBool(c, QStringLiteral("NOPASSWORDEXPIRE"), d.noPasswordExpire);
    s.validity = ini.readInteger(c, QStringLiteral("VALIDITY"), d.validity);
    s.comPortPort = ini.readString(c, QStringLiteral("COMPORTPORT"), d.comPortPort);
    s.comPortBauds = ini.readInteger(c, QStringLiteral("COMPORTBAUDS"), d.comPortBauds);
    s.comPortCustomBauds = ini.readInteger(c, QStringLiteral("COMPORTCUSTOMBAUDS"), d.comPortCustomBauds);
    s.comPortDataBits = ini.readInteger(c, QStringLiteral("COMPORTDATABITS"), d.comPortDataBits);
    s.tcpServerPort = ini.readInteger(c, QStringLiteral("TCPSERVERPORT"), d.tcpServerPort);
    s.tcpServer = ini.readBool(c, QStringLiteral("TCPSERVER"), d.tcpServer);
    return s;
}

namespace {
void writeConfigKeys(IniFile &ini, const Settings &s)
{
    const QString c = ConfigSection();
    ini.writeInteger(c, QStringLiteral("AUTOLOGOUTTIME"), s.autoLogoutTime);
    ini.writeBool(c, QStringLiteral("AUTOLOGOUT"), s.noAutoLogout);
    ini.writeBool(c, QStringLiteral("NOPASSWORDEXPIRE"), s.noPasswordExpire);
    ini.writeInteger(c, QStringLiteral("VALIDITY"), s.validity);
    ini.writeString(c, QStringLiteral("COMPORTPORT"), s.comPortPort);
    ini.writeInteger(c, QStringLiteral("COMPORTBAUDS"), s.comPortBauds);
    ini.writeInteger(c, QStringLiteral("COMPORTCUSTOMBAUDS"), s.comPortCustomBauds);
    ini.writeInteger(c, QStringLiteral("COMPORTDATABITS"), s.comPortDataBits);
}

bool finish(IniFile &ini, QString *error)
{
    if (ini.save())
        return true;
    if (error)
        *error = ini.errorString();
    return false;
}
} // namespace

bool SaveSettings(const Settings &settings, const QString &path, QString *error)
{
    IniFile ini(path);
    writeConfigKeys(ini, settings);
    for (const QString &s : GridLayoutSections())
        ini.eraseSection(s);
    return finish(ini, error);
}

bool WriteDefaultSettings(const QString &path, QString *error)
{
    IniFile ini(path);
    const Settings d;
    writeConfigKeys(ini, d);
    ini.writeInteger(ConfigSection(), QStringLiteral("TCPSERVERPORT"), d.tcpServerPort);
    ini.writeBool(ConfigSection(), QStringLiteral("TCPSERVER"), d.tcpServer);
    return finish(ini, error);
}

IniFile::Entries ReadGridLayout(const QString &path, const QString &section)
{
    return IniFile(path).section(section);
}

bool WriteGridLayout(const QString &path, const QString &section, const IniFile::Entries &entries)
{
    IniFile ini(path);
    ini.eraseSection(section);
    for (const auto &e : entries)
        ini.writeString(section, e.first, e.second);
    return ini.save();
}

bool EraseGridLayout(const QString &path, const QString &section)
{
    IniFile ini(path);
    ini.eraseSection(section);
    return ini.save();
}

} // namespace kovra
