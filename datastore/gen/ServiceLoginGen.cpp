// Build-time generator of the service login's stored value: writes a header with
// the login name and the 16 cipher bytes, so the clear password never reaches
// the sources or the binary.
#include "UserStore.h"
#include "Cipher.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT LOGIN PASSWORD\n", argv[0]);
        return 2;
    }
    const QString login = QString::fromUtf8(argv[2]);
    QByteArray cipher = QByteArray(argv[3]);
    if (login.isEmpty() || cipher.isEmpty() || cipher.size() > 16) {
        std::fprintf(stderr, "service login: name must not be empty, password 1 to 16 bytes\n");
        return 1;
    }
    kovra::CipherMessage(kovra::CipherMode::Encrypt, kovra::MakePasswordKey(login), cipher);
    QByteArray out = "#pragma once\n// Generated at build time. Do not edit.\n";
    out += "static const char kServiceLoginName[] = \"";
    for (char c : login.toUtf8())
        out += QByteArray("\\x") + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
    out += "\";\nstatic const unsigned char kServiceLoginCipher[16] = {";
    for (int i = 0; i < 16; ++i)
        out += (i ? ", 0x" : "0x") + QByteArray::number(static_cast<unsigned char>(cipher.at(i)), 16).rightJustified(2, '0');
    out += "};\n";
    QFile f(QString::fromLocal8Bit(argv[1]));
    if (!f.open(QIODevice::WriteOnly) || f.write(out) != out.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
