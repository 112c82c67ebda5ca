#pragma once
// The account editor's rules without its widgets: the field rules, the checks
// of Save in their order with their messages, the template question, the
// upgrade question and downgrade refusal, the writes and the log events. The
// window and kovra-cli both call save(); every notice goes through the seam.
#include <QString>

namespace kovra {

class TdmdMain;

// What the window's controls hold, as plain values.
struct AccountInput {
    QString accountNumber;          // up to 10 characters as typed; empty positions read "F"
    QString key;                    // up to 32 characters; empty positions read "0"
    QString installerCode;          // up to 4 characters; empty positions read "0"
    long long moduleAddress[4] = {192, 168, 0, 99};
    long long consolePort = 3064;   // option 013
    long long remotePort = 3061;    // option 00A
    QString generation = QStringLiteral("010");   // "010" .. "014"
    struct Receiver {
        long long address[4] = {0, 0, 0, 0};
        long long gateway[4] = {0, 0, 0, 0};
        long long port = 3064;
    } receivers[3];
};

enum class AccountEditorResult {
    Changed,     // account added, or edited with a change that sets the changed mark
    Unchanged,   // edited, saved, nothing marked
    Cancelled,   // refused downgrade (the window also uses it for Cancel)
    KeepOpen,    // a check refused; the notice was shown and nothing was saved
};

struct AccountSaveOutcome {
    AccountEditorResult result = AccountEditorResult::KeepOpen;
    int accountId = 0;   // the account saved (new id after add or upgrade)
};

class AccountEditor {
public:
    enum Mode { Add, Edit };

    // accountId: the account to edit (edit mode only).
    AccountEditor(TdmdMain &dm, Mode mode, int accountId = 0);

    Mode mode() const { return m_mode; }
    int accountId() const { return m_accountId; }

    // Add mode: the window's defaults. Edit mode: the account as stored
    // (false when it no longer exists).
    bool load(AccountInput &input);

    // Edit mode: the old generation code as the opener found it ("" when
    // option 326 names no known generation, which counts as 1.0x).
    QString oldGeneration() const { return m_oldGeneration; }

    // The window sets the mark on any edit of a marked field; save() also sets
    // it when such a field differs from what load() read.
    void setChangedMark() { m_changed = true; }
    bool changedMark() const { return m_changed; }

    AccountSaveOutcome save(const AccountInput &input);

    // Field rules.
    static QString AccountNumberText(const QString &typed);   // upper case, padded with "F" to 10
    static QString KeyText(const QString &typed);             // upper case, padded with "0" to 32
    static QString InstallerCodeText(const QString &typed);   // upper case, padded with "0" to 4
    static long long Clamp(long long value, long long min, long long max);
    static QString DottedAddress(const long long fields[4]);  // fields clamped to 0..255
    // Add mode: the installer code a generation button sets ("B7D2" / "D4E9").
    static QString InstallerCodeForGeneration(const QString &generation);
    // "&Generate A Key": a random GUID written as 32 upper-case hex digits.
    static QString GenerateKey();
    // "&Paste Key" takes only 32 hex digits, either case.
    static bool IsPastableKey(const QString &text);
    // Index 0..4 of "010".."014"; -1 for anything else.
    static int GenerationIndex(const QString &code);

private:
    AccountSaveOutcome saveNew(const AccountInput &in);
    AccountSaveOutcome saveEdit(const AccountInput &in);
    void markDifferences(const AccountInput &in);

    TdmdMain &m_dm;
    Mode m_mode;
    int m_accountId;
    bool m_changed;
    bool m_loaded = false;
    AccountInput m_loadedInput;
    QString m_oldAccountNumber;
    QString m_oldGeneration;
};

} // namespace kovra
