#pragma once
// Device bytes of option values by validation code, and option sizes.
#include <QByteArray>
#include <QString>

namespace kovra {

// Device width of a validation code ("01".."15" or 1..15); 0 for any other code.
int OptionSizeForCode(int code);
int ValidationCodeNumber(const QString &code);   // "04" -> 4; 0 when not a number

// Size of an option by its number, from the catalogue table; -1 when the number is
// not there.
int OptionSize(const QString &optionNumber);
// Size by index (the number of a user option read as hexadecimal, system options
// following the generation's last user option).
int OptionSizeOfIndex(int index, int lastUserIndex);
// Option number of an index ("00A" for 10, "321" for lastUserIndex + 1).
QString OptionNumberOfIndex(int index, int lastUserIndex);

// Bytes of a value, exactly OptionSizeForCode(code) long. Returns false, with a
// reason, for a value that cannot be written without losing part of it (a text
// longer than the option, a number out of range, a malformed address); the caller
// refuses the write rather than send something else.
bool EncodeOptionBytes(const QString &value, int code, QByteArray *bytes, QString *reason = nullptr);
QByteArray EncodeOptionBytes(const QString &value, int code);   // lenient form: zero bytes on error
QString DecodeOptionBytes(const QByteArray &bytes, int code);

} // namespace kovra
