#pragma once
// The byte format of account, template and receiver-table files: a length byte
// before every line (one byte per character, Latin-1) and a 16-bit sum of all
// preceding bytes at the end, high byte first.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace kovra {

// Longest line a length byte can describe.
constexpr int MaxLineFileLine = 255;

// The bytes of a line file. A line longer than 255 characters, or holding a
// character outside Latin-1, cannot be written faithfully: the result is empty
// and *error (when given) names the line.
std::optional<QByteArray> EncodeLineFile(const QStringList &lines, QString *error = nullptr);

// The lines of a line file, or nothing when the check sum does not match or a
// line runs past the end. Never reads outside the given bytes.
std::optional<QStringList> DecodeLineFile(const QByteArray &bytes);

// The 16-bit sum of the bytes.
quint16 LineFileSum(const QByteArray &bytes);

} // namespace kovra
