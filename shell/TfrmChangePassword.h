#pragma once
// "Kovra Console | Change Password": the logged-in user's own password.
#include "TBaseForm.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kovra {

class TdmdMain;

class TfrmChangePassword : public TBaseForm {
    Q_OBJECT
public:
    explicit TfrmChangePassword(TdmdMain &dm, QWidget *parent = nullptr);

    // Expired password at login: the old password is known and not editable.
    void setForcedOldPassword(const QString &oldPassword);

public:
    void accept() override;   // OK: checks the old password before anything is written

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateRules();

    TdmdMain &m_dm;
    QLineEdit *m_edtOldPassword;
    QLineEdit *m_edtPassword;
    QLineEdit *m_edtVerifyPassword;
    QLabel *m_lblVerifyPassword;
    QPushButton *m_btnOK;
    QPushButton *m_btnCancel;
};

// Makes CheckPasswordExpiry open this window for an expired password.
void InstallForcedPasswordChange();

} // namespace kovra
