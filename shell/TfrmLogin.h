#pragma once
// "Kovra Console | Login": admits one user and, for Administrators and Users,
// opens or asks for the account database.
#include "TBaseForm.h"

class QLineEdit;
class QPushButton;

namespace kovra {

class TdmdMain;
class LoginFlow;

// exec() results, apart from QDialog's own codes.
enum LoginResult {
    LoginOk = 100,      // logged in, account database open or not needed
    LoginAbort = 101,   // logged in, the chosen database failed to open (mode No Database)
    LoginCancel = 102,  // cancelled, three failures, or no database chosen
};

class TfrmLogin : public TBaseForm {
    Q_OBJECT
public:
    explicit TfrmLogin(TdmdMain &dm, QWidget *parent = nullptr);
    ~TfrmLogin() override;

    // Pause after the "Login cancelled" notice before the window goes (1000 ms).
    void setCancelPauseMs(int ms) { m_cancelPauseMs = ms; }
    int failures() const;

public:
    int exec() override;
    void done(int result) override;
    void reject() override;   // Escape and the close box mean Cancel

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void okClicked();
    void updateOk();

    TdmdMain &m_dm;
    LoginFlow *m_flow;
    QLineEdit *m_edtLoginName;
    QLineEdit *m_edtPassword;
    QPushButton *m_btnOK;
    QPushButton *m_btnCancel;
    int m_cancelPauseMs = 1000;
    bool m_closing = false;
};

} // namespace kovra
