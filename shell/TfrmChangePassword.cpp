#include "TfrmChangePassword.h"

#include "LoginFlow.h"
#include "MessageDialogs.h"
#include "TdmdMain.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kovra {
namespace {

QLineEdit *maskedEdit(const char *name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaxLength(30);
    e->setEchoMode(QLineEdit::Password);
    e->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));   // "*"
    return e;
}

} // namespace

TfrmChangePassword::TfrmChangePassword(TdmdMain &dm, QWidget *parent) : TBaseForm(parent), m_dm(dm)
{
    setObjectName("TfrmChangePassword");
    setCaption("Change Password");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    m_edtOldPassword = maskedEdit("edtOldPassword", this);
    m_edtPassword = maskedEdit("edtPassword", this);
    m_edtVerifyPassword = maskedEdit("edtVerifyPassword", this);
    auto *lblOld = new QLabel(QStringLiteral("Old password"), this);
    lblOld->setObjectName("lblOldPassword");
    auto *lblNew = new QLabel(QStringLiteral("New password"), this);
    lblNew->setObjectName("lblPassword");
    m_lblVerifyPassword = new QLabel(QStringLiteral("New password re-entered for verification"), this);
    m_lblVerifyPassword->setObjectName("lblVerifyPassword");
    grid->addWidget(lblOld, 0, 0);
    grid->addWidget(m_edtOldPassword, 0, 1);
    grid->addWidget(lblNew, 1, 0);
    grid->addWidget(m_edtPassword, 1, 1);
    grid->addWidget(m_lblVerifyPassword, 2, 0);
    grid->addWidget(m_edtVerifyPassword, 2, 1);
    grid->setColumnMinimumWidth(1, 200);
    layout->addLayout(grid);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_btnOK = new QPushButton(QStringLiteral("&OK"), this);
    m_btnOK->setObjectName("btnOK");
    m_btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_btnCancel->setObjectName("btnCancel");
    m_btnOK->setDefault(true);
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnCancel);
    layout->addLayout(buttons);

    connect(m_btnOK, &QPushButton::clicked, this, &TfrmChangePassword::accept);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_edtPassword, &QLineEdit::textChanged, this, &TfrmChangePassword::updateRules);
    connect(m_edtVerifyPassword, &QLineEdit::textChanged, this, &TfrmChangePassword::updateRules);
    connect(m_edtOldPassword, &QLineEdit::textChanged, this, &TfrmChangePassword::updateRules);
    m_edtOldPassword->installEventFilter(this);
    updateRules();
    setFixedSize(sizeHint());
}

void TfrmChangePassword::setForcedOldPassword(const QString &oldPassword)
{
    m_edtOldPassword->setText(oldPassword);
    m_edtOldPassword->setEnabled(false);
    m_edtPassword->setFocus();
}

void TfrmChangePassword::updateRules()
{
    const PasswordChangeState s =
        PasswordChangeRules(m_edtOldPassword->text(), m_edtPassword->text(), m_edtVerifyPassword->text());
    m_edtVerifyPassword->setEnabled(s.verifyEnabled);
    m_lblVerifyPassword->setEnabled(s.verifyEnabled);
    m_btnOK->setEnabled(s.okEnabled);
}

bool TfrmChangePassword::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edtOldPassword && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        if (m_edtOldPassword->text().isEmpty())
            reject();
        else
            m_edtOldPassword->clear();
        return true;
    }
    return TBaseForm::eventFilter(watched, event);
}

void TfrmChangePassword::accept()
{
    if (!m_btnOK->isEnabled())
        return;   // Enter in a box while OK is not offered
    bool changed = false;
    try {
        changed = ChangeOwnPassword(m_dm, m_edtOldPassword->text(), m_edtPassword->text());
    } catch (const DatabaseError &e) {
        ShowError(e.text());
        return;
    }
    if (!changed) {
        m_edtOldPassword->setFocus();
        return;
    }
    TBaseForm::accept();
}

void InstallForcedPasswordChange()
{
    SetForcedPasswordChange([](TdmdMain &dm, const QString &oldPassword) {
        TfrmChangePassword window(dm, QApplication::activeWindow());
        window.setForcedOldPassword(oldPassword);
        return window.exec() == QDialog::Accepted;
    });
}

} // namespace kovra
