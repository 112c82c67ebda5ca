#include "TfrmUserManagement.h"

#include "MessageDialogs.h"
#include "TdmdMain.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kovra {
namespace {

QLineEdit *textEdit(const char *name, QWidget *parent, bool masked = false)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(UserEditor::MaxLength);
    if (masked) {
        e->setEchoMode(QLineEdit::Password);
        e->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));   // "*"
    }
    return e;
}

} // namespace

TfrmUserManagement::TfrmUserManagement(TdmdMain &dm, Mode mode, int loggedInUserType, int userId,
                                       QWidget *parent)
    : TBaseForm(parent), m_editor(dm, UserEditor::Mode(mode), loggedInUserType, userId)
{
    setObjectName("TfrmUserManagement");
    setCaption("User Management");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *layout = new QVBoxLayout(this);
    auto *group = new QGroupBox(QStringLiteral(" User Information "), this);
    group->setObjectName("grpUserInformation");
    auto *form = new QFormLayout(group);

    m_edtUserLogin = textEdit("edtUserLogin", group);
    m_edtUserFirstName = textEdit("edtUserFirstName", group);
    m_edtUserLastName = textEdit("edtUserLastName", group);
    m_cbxUserType = new QComboBox(group);
    m_cbxUserType->setObjectName("cbxUserType");
    for (const UserTypeChoice &c : m_editor.typeChoices())
        m_cbxUserType->addItem(c.name, c.type);
    m_edtExpirationDate = new QDateEdit(group);
    m_edtExpirationDate->setObjectName("edtExpirationDate");
    m_edtExpirationDate->setCalendarPopup(true);
    m_edtExpirationDate->setMinimumDate(QDate(2002, 12, 1));
    m_edtExpirationDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_edtPassword = textEdit("edtPassword", group, true);
    m_edtVerifyPassword = textEdit("edtVerifyPassword", group, true);

    form->addRow(QStringLiteral("User Login Name"), m_edtUserLogin);
    form->addRow(QStringLiteral("First Name"), m_edtUserFirstName);
    form->addRow(QStringLiteral("Last Name"), m_edtUserLastName);
    form->addRow(QStringLiteral("Select User Type"), m_cbxUserType);
    form->addRow(QStringLiteral("Password Expire Date"), m_edtExpirationDate);
    form->addRow(QStringLiteral("Password"), m_edtPassword);
    form->addRow(QStringLiteral("Re-enter Password"), m_edtVerifyPassword);
    layout->addWidget(group);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_btnDone = new QPushButton(QStringLiteral("&Save"), this);
    m_btnDone->setObjectName("btnDone");
    m_btnDone->setDefault(true);
    m_btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_btnCancel->setObjectName("btnCancel");
    m_btnCancel->setAutoDefault(false);
    buttons->addWidget(m_btnDone);
    buttons->addWidget(m_btnCancel);
    layout->addLayout(buttons);
    connect(m_btnDone, &QPushButton::clicked, this, &TfrmUserManagement::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    UserInput input;
    try {
        m_editor.load(input);
    } catch (const DatabaseError &e) {
        ShowError(e.text());
    }
    m_edtUserLogin->setText(input.loginName);
    m_edtUserLogin->setEnabled(mode == Add);
    m_edtUserFirstName->setText(input.firstName);
    m_edtUserLastName->setText(input.lastName);
    m_cbxUserType->setCurrentIndex(m_cbxUserType->count() ? input.typeIndex : -1);
    m_edtExpirationDate->setDate(input.expireDate.isValid() ? input.expireDate : QDate::currentDate());
    m_edtPassword->setText(input.password);
    m_edtVerifyPassword->setText(input.verifyPassword);
    (mode == Add ? m_edtUserLogin : m_edtUserFirstName)->setFocus();
    resize(sizeHint().expandedTo(QSize(380, 0)));
}

UserInput TfrmUserManagement::readControls() const
{
    UserInput in;
    in.loginName = m_edtUserLogin->text();
    in.firstName = m_edtUserFirstName->text();
    in.lastName = m_edtUserLastName->text();
    in.typeIndex = m_cbxUserType->currentIndex();
    in.expireDate = m_edtExpirationDate->date();
    in.password = m_edtPassword->text();
    in.verifyPassword = m_edtVerifyPassword->text();
    return in;
}

QWidget *TfrmUserManagement::fieldWidget(UserField field) const
{
    switch (field) {
    case UserField::LoginName: return m_edtUserLogin;
    case UserField::FirstName: return m_edtUserFirstName;
    case UserField::LastName: return m_edtUserLastName;
    case UserField::Password: return m_edtPassword;
    case UserField::VerifyPassword: return m_edtVerifyPassword;
    case UserField::None: break;
    }
    return nullptr;
}

void TfrmUserManagement::accept()
{
    const UserEditor::Outcome out = m_editor.save(readControls());
    if (!out.saved) {
        if (QWidget *w = fieldWidget(out.focus))
            w->setFocus();
        return;
    }
    TBaseForm::accept();
}

} // namespace kovra
