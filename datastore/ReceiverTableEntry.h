#pragma once
// One entry of a receiver's account table as the receiver table window shows it
// and as receiver table files carry it (17 fields, in file order).
#include <QString>
#include <QtGlobal>

namespace kovra {

struct ReceiverTableEntry {
    qint64 Connect = 0;
    qint64 Count = 0;
    bool Full = false;
    qint16 LastResponse = 0;
    bool Local = false;          // assigned to this receiver in the database
    quint16 Port = 0;
    bool Present = false;
    qint64 Sequence = 0;
    quint16 Software = 0;
    qint64 Supervised = 0;
    quint16 Test = 0;
    qint64 TimeStamp = 0;
    int Kovra_ID = 0;
    QString KovraAccount;        // 10 upper-case hex digits, "0000000000" for a free slot
    QString KovraIP;
    QString KovraKey;            // 32 hex digits
    QString KovraMAC;            // 12 hex digits

    bool operator==(const ReceiverTableEntry &o) const
    {
        return Connect == o.Connect && Count == o.Count && Full == o.Full && LastResponse == o.LastResponse
            && Local == o.Local && Port == o.Port && Present == o.Present && Sequence == o.Sequence
            && Software == o.Software && Supervised == o.Supervised && Test == o.Test
            && TimeStamp == o.TimeStamp && Kovra_ID == o.Kovra_ID && KovraAccount == o.KovraAccount
            && KovraIP == o.KovraIP && KovraKey == o.KovraKey && KovraMAC == o.KovraMAC;
    }
    bool operator!=(const ReceiverTableEntry &o) const { return !(*this == o); }
};

} // namespace kovra
