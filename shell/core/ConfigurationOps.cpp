#include "ConfigurationOps.h"
#include "TdmdMain.h"

#include <QDir>
#include <QFileInfo>

#include <iterator>

namespace kovra {

namespace {
struct Baud {
    const char *text;
    int code;
};
const Baud kBauds[] = {{"300", 2},     {"1200", 4},   {"2400", 5},   {"4800", 6},   {"9600", 7},
                       {"14400", 8},   {"19200", 9},  {"38400", 10}, {"57600", 12}, {"115200", 13}};
} // namespace

QStringList BaudChoices()
{
    QStringList out;
    for (const Baud &b : kBauds)
        out.append(QString::fromLatin1(b.text));
    return out;
}

QStringList DataBitsChoices() { return {QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8")}; }

int BaudIndexForCode(int code)
{
    for (int i = 0; i < int(std::size(kBauds)); ++i)
        if (kBauds[i].code == code)
            return i;
    return -1;
}

int BaudCodeForIndex(int index, int storedCode)
{
    // A code without a choice (custom rate, 110, 600, 56000) is written back as it was.
    if (index < 0 || index >= int(std::size(kBauds)))
        return storedCode;
    return kBauds[index].code;
}

ConfigurationInput InputFromSettings(const Settings &s)
{
    ConfigurationInput in;
    in.expireDays = qBound(ExpireMin, s.validity, ExpireMax);
    in.passwordNeverExpires = s.noPasswordExpire;
    in.autoLogoutMinutes = qBound(AutoLogoutMin, s.autoLogoutTime / 60, AutoLogoutMax);
    in.noAutoLogout = s.noAutoLogout;
    in.comPort = s.comPortPort;
    in.baudIndex = BaudIndexForCode(s.comPortBauds);
    in.dataBitsIndex = s.comPortDataBits >= 0 && s.comPortDataBits < 4 ? s.comPortDataBits : -1;
    in.tcpServerPort = qBound(TcpServerPortMin, s.tcpServerPort, TcpServerPortMax);
    return in;
}

QStringList SystemSerialPorts()
{
    QStringList out;
    const QDir dev(QStringLiteral("/dev"));
    const QStringList patterns = {QStringLiteral("ttyS*"), QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")};
    for (const QString &name : dev.entryList(patterns, QDir::System | QDir::Files, QDir::Name)) {
        // /dev/ttyS0..31 always exist; only those with a driver behind them are ports.
        if (name.startsWith(QLatin1String("ttyS"))) {
            const QString driver = QStringLiteral("/sys/class/tty/%1/device/driver").arg(name);
            if (!QFileInfo(driver).exists())
                continue;
        }
        const QString path = dev.filePath(name);
        if (!out.contains(path))
            out.append(path);
    }
    return out;
}

bool ApplyConfiguration(TdmdMain &dm, const ConfigurationInput &in)
{
    Settings &s = dm.settings();
    s.comPortPort = in.comPort;
    s.comPortBauds = BaudCodeForIndex(in.baudIndex, s.comPortBauds);
    if (in.dataBitsIndex >= 0)
        s.comPortDataBits = in.dataBitsIndex;
    s.tcpServerPort = in.tcpServerPort;
    s.validity = in.expireDays;
    s.noPasswordExpire = in.passwordNeverExpires;
    s.autoLogoutTime = in.autoLogoutMinutes * 60;
    s.noAutoLogout = in.noAutoLogout;
    const bool saved = dm.SaveConfiguration();
    dm.WriteLogEvent(10);
    return saved;
}

} // namespace kovra
