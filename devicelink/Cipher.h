#pragma once
// AES-128 in independent 16-byte blocks with zero padding: the console protocol's
// encryption and the storage form of user passwords.
#include <QByteArray>
#include <QString>
#include <stdexcept>

namespace kovra {

enum class CipherMode { Encrypt = 0, Decrypt = 1 };

struct CipherError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Up to 32 hex digits; pair i gives key byte i, the rest stay zero, a pair
// that is not hexadecimal gives 0.
QByteArray CipherKeyBytes(const QString &keyText);

// Replaces message with the result and returns its length. Decrypting a length
// that is not a multiple of 16 throws CipherError("Invalid buffer size for decryption").
int CipherMessage(CipherMode mode, const QString &keyText, QByteArray &message);

// Session key rule: both halves all zero digits mean "no encryption".
bool IsZeroKeyHalf(const QString &half);
bool SessionEncrypted(const QString &key1, const QString &key2);

} // namespace kovra
