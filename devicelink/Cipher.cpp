#include "Cipher.h"
#include "Trace.h"

#include <openssl/evp.h>

#include <memory>

namespace kovra {
namespace {
struct CtxFree {
    void operator()(EVP_CIPHER_CTX *c) const { EVP_CIPHER_CTX_free(c); }
};
} // namespace

QByteArray CipherKeyBytes(const QString &keyText)
{
    QByteArray key(16, '\0');
    const int pairs = std::min<int>(16, int(keyText.size() / 2));
    for (int i = 0; i < pairs; ++i) {
        const int hi = HexDigitValue(keyText[2 * i]);
        const int lo = HexDigitValue(keyText[2 * i + 1]);
        key[i] = (hi < 0 || lo < 0) ? char(0) : char(hi * 16 + lo);
    }
    return key;
}

int CipherMessage(CipherMode mode, const QString &keyText, QByteArray &message)
{
    const QByteArray key = CipherKeyBytes(keyText);
    if (mode == CipherMode::Encrypt)
        KOVRA_TRACE("Message to Encrypt - " + HexDump(message));
    if (mode == CipherMode::Decrypt && message.size() % 16 != 0)
        throw CipherError("Invalid buffer size for decryption");

    QByteArray in = message;
    if (in.size() % 16 != 0)
        in.append(QByteArray(16 - in.size() % 16, '\0'));
    QByteArray out(in.size(), '\0');

    if (!in.isEmpty()) {
        std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
        if (!ctx)
            throw CipherError("Cipher not available");
        const bool enc = mode == CipherMode::Encrypt;
        if (EVP_CipherInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr,
                              reinterpret_cast<const unsigned char *>(key.constData()), nullptr,
                              enc ? 1 : 0) != 1)
            throw CipherError("Cipher not available");
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
        int len = 0;
        if (EVP_CipherUpdate(ctx.get(), reinterpret_cast<unsigned char *>(out.data()), &len,
                             reinterpret_cast<const unsigned char *>(in.constData()),
                             int(in.size())) != 1
            || len != in.size())
            throw CipherError("Cipher failed");
    }
    message = out;
    KOVRA_TRACE("Resulting Message " + HexDump(message));
    return int(message.size());
}

bool IsZeroKeyHalf(const QString &half)
{
    for (QChar c : half)
        if (c != QLatin1Char('0'))
            return false;
    return true;
}

bool SessionEncrypted(const QString &key1, const QString &key2)
{
    return !IsZeroKeyHalf(key1) || !IsZeroKeyHalf(key2);
}

} // namespace kovra
