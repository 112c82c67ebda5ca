#pragma once
// The built-in option catalogues of the five firmware generations, the
// validation codes, the trouble-mask bit names and the option groups.
// Pure data and functions: no database.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>

namespace kovra {

struct CatalogueEntry {
    QString OptionNumber;          // "001" .. "385", upper-case hex
    QString OptionName;
    QString OptionPanelType;       // two characters, may be two blanks
    QString OptionTypeValidation;  // "01" .. "15"
    QString OptionDefault;         // trimmed; empty for text options
    QString OptionEffect;          // "Immediate" or "Reset"
    QString OptionDescription;
};

// Generation of a catalogue, named by its code.
enum class Generation { V10, V11, V12, V13, V14 };

// The catalogue as its text lines: line 0 is the header, each other line one
// entry with "*" after every field.
const QStringList &CatalogueLines(Generation g);
// The entries in catalogue order (from the lines, by the word rule).
const QList<CatalogueEntry> &CatalogueEntries(Generation g);

// "010".."014" -> generation; anything else -> false (callers apply their own rule).
bool GenerationFromCode(const QString &code, Generation *out);
QString GenerationCode(Generation g);          // "010" .. "014"
QString GenerationVersion(Generation g);        // "0100" .. "0140"
// Rule used by templates and template creation: "011".."014", anything else 1.0x.
Generation TemplateGeneration(const QString &code);
// The account's generation code from an option 326 value: first three characters,
// "000" counting as "010".
QString GenerationCodeOfVersion(const QString &version);

// Words of a "*"-separated line: runs of "*" count as one, leading "*" skipped.
QStringList SplitWords(const QString &line);
// Word n (1-based), empty when the line has fewer words.
QString Word(const QString &line, int n);

// 1-based line of the entry in the 1.4x catalogue, ignoring case; the line
// count (one past the last entry) when not found.
int CatalogueIndexOf(const QString &optionNumber);
// Entry of the 1.4x catalogue, or nullptr.
const CatalogueEntry *FindCatalogueEntry(const QString &optionNumber);

// "00A" -> "010", "385" -> "901"; and back ("901" -> "385").
QString DisplayNumber(const QString &optionNumber);
QString OptionNumberFromDisplay(const QString &displayNumber);

bool IsReadOnlyOption(const QString &optionNumber);
bool IsReceiverTableOption(const QString &optionNumber);
bool IsLocalPortOption(const QString &optionNumber);
bool IsAccountMirrorOption(const QString &optionNumber);

// The parts of a value by validation code ("01".."15" or 1..15).
struct OptionValueParts {
    std::uint32_t number = 0;   // 01: 32-bit address; 02/07: 16 bits; 03/04/05/06: one byte
    QByteArray bytes;           // 10/11/12: key, account code, MAC bytes; 08/09/13/14/15: characters
};
OptionValueParts EncodeOptionValue(const QString &value, const QString &validationCode);

// Input types offered for validation code 03, as "00 = Zone Disabled" ...
const QStringList &InputTypeList();
// Bit names of options 021 and 022, lowest bit first (8 each).
const QStringList &TroubleMaskBits(const QString &optionNumber);

} // namespace kovra
