#pragma once
// "Kovra Console | User Management": adds a user or edits one.
#include "TBaseForm.h"

#include "UserEditor.h"

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;

namespace kovra {

class TdmdMain;

class TfrmUserManagement : public TBaseForm {
    Q_OBJECT
public:
    enum Mode { Add = UserEditor::Add, Edit = UserEditor::Edit };

    // loggedInUserType decides the type choices; userId is the row to edit (edit mode).
    TfrmUserManagement(TdmdMain &dm, Mode mode, int loggedInUserType, int userId = 0,
                       QWidget *parent = nullptr);

public:
    void accept() override;   // Save: checks in order, then writes

private:
    UserInput readControls() const;
    QWidget *fieldWidget(UserField field) const;

    UserEditor m_editor;
    QLineEdit *m_edtUserLogin;
    QLineEdit *m_edtUserFirstName;
    QLineEdit *m_edtUserLastName;
    QComboBox *m_cbxUserType;
    QDateEdit *m_edtExpirationDate;
    QLineEdit *m_edtPassword;
    QLineEdit *m_edtVerifyPassword;
    QPushButton *m_btnDone;
    QPushButton *m_btnCancel;
};

} // namespace kovra
