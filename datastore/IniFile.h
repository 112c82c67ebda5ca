#pragma once
// KOVRACONSOLE.INI: a profile file ("[Section]" then "KEY=value" lines) with
// case-insensitive section and key lookup, read defaults for absent keys, and
// the console's "Config" settings.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace kovra {

class IniFile {
public:
    using Entries = QList<QPair<QString, QString>>;

    // Reads the file when it exists; a missing file is an empty profile.
    explicit IniFile(const QString &path);

    QString path() const { return m_path; }
    QString readString(const QString &section, const QString &key, const QString &def = QString()) const;
    // Leading optional sign and digits, as profile files read them; no digits gives 0.
    int readInteger(const QString &section, const QString &key, int def) const;
    // Any non-zero integer is true.
    bool readBool(const QString &section, const QString &key, bool def) const;
    bool hasKey(const QString &section, const QString &key) const;
    Entries section(const QString &section) const;
    QList<QString> sections() const;

    // Changes in memory; save() writes them.
    void writeString(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);   // "1" / "0"
    void eraseSection(const QString &section);

    // Writes the whole file at once (replaced only when complete). False on
    // failure, with errorString().
    bool save();
    QString errorString() const { return m_error; }

private:
    struct Section {
        QString name;
        Entries entries;
    };
    const Section *find(const QString &name) const;
    Section &obtain(const QString &name);

    QString m_path;
    QList<Section> m_sections;
    QString m_error;
};

// Section "Config", every key with its default.
struct Settings {
    int autoLogoutTime = 180;        // AUTOLOGOUTTIME, seconds
    bool noAutoLogout = true;        // AUTOLOGOUT: set means no idle logout
    bool noPasswordExpire = false;   // NOPASSWORDEXPIRE
    int validity = 90;               // VALIDITY, days
    QString comPortPort = QStringLiteral("COM1");   // COMPORTPORT
    int comPortBauds = 7;            // COMPORTBAUDS (code)
    int comPortCustomBauds = 9600;   // COMPORTCUSTOMBAUDS
    int comPortDataBits = 3;         // COMPORTDATABITS (code)
    int tcpServerPort = 3077;        // TCPSERVERPORT, read only
    bool tcpServer = true;           // TCPSERVER, read only
};

QString ConfigFileName();   // "KOVRACONSOLE.INI"
QString ConfigFilePath();   // in the installation folder
QString ConfigSection();    // "Config"
// Grid-layout sections erased on every configuration save.
QStringList GridLayoutSections();
QString WriteErrorText();   // "An error occurred when writing to the KOVRACONSOLE.INI file."

Settings ReadSettings(const QString &path);
// Writes the eight keys of the configuration dialog in their order and erases
// the grid-layout sections. False when the file could not be written.
bool SaveSettings(const Settings &settings, const QString &path, QString *error = nullptr);
// Every key of "Config", for a fresh installation.
bool WriteDefaultSettings(const QString &path, QString *error = nullptr);

// Column layouts of a grid window: one key per column.
IniFile::Entries ReadGridLayout(const QString &path, const QString &section);
bool WriteGridLayout(const QString &path, const QString &section, const IniFile::Entries &entries);
bool EraseGridLayout(const QString &path, const QString &section);

} // namespace kovra
