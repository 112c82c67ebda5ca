#include "TfrmLogin.h"

#include "LoginFlow.h"
#include "LoginState.h"
#include "MainWindowHooks.h"
#include "MessageDialogs.h"
#include "TdmdMain.h"
#include "TfrmChangePassword.h"

#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kovra {

TfrmLogin::TfrmLogin(TdmdMain &dm, QWidget *parent)
    : TBaseForm(parent), m_dm(dm), m_flow(new LoginFlow(dm))
{
    setObjectName("TfrmLogin");
    setCaption("Login");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    if (!HasForcedPasswordChange())
        InstallForcedPasswordChange();

    auto *layout = new QVBoxLayout(this);
    auto *grid = new QGridLayout;
    m_edtLoginName = new QLineEdit(this);
    m_edtLoginName->setObjectName("edtLoginName");
    m_edtLoginName->setMaxLength(30);
    m_edtPassword = new QLineEdit(this);
    m_edtPassword->setObjectName("edtPassword");
    m_edtPassword->setMaxLength(30);
    m_edtPassword->setEchoMode(QLineEdit::Password);
    m_edtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));   // "*"
    auto *lblLoginName = new QLabel(QStringLiteral("Login Name"), this);
    lblLoginName->setBuddy(m_edtLoginName);
    auto *lblPassword = new QLabel(QStringLiteral("Password"), this);
    lblPassword->setBuddy(m_edtPassword);
    grid->addWidget(lblLoginName, 0, 0);
    grid->addWidget(m_edtLoginName, 0, 1);
    grid->addWidget(lblPassword, 1, 0);
    grid->addWidget(m_edtPassword, 1, 1);
    grid->setColumnMinimumWidth(1, 220);
    layout->addLayout(grid);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_btnOK = new QPushButton(QStringLiteral("&OK"), this);
    m_btnOK->setObjectName("btnOK");
    m_btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_btnCancel->setObjectName("btnCancel");
    // Enter is handled by the boxes themselves, never by a default button.
    m_btnOK->setAutoDefault(false);
    m_btnCancel->setAutoDefault(false);
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnCancel);
    layout->addLayout(buttons);

    connect(m_edtPassword, &QLineEdit::textChanged, this, &TfrmLogin::updateOk);
    connect(m_btnOK, &QPushButton::clicked, this, &TfrmLogin::okClicked);
    connect(m_btnCancel, &QPushButton::clicked, this, [this] { done(LoginCancel); });
    m_edtLoginName->installEventFilter(this);
    m_edtPassword->installEventFilter(this);
    updateOk();
    setFixedSize(sizeHint());
}

TfrmLogin::~TfrmLogin() { delete m_flow; }

int TfrmLogin::failures() const { return m_flow->failures(); }

int TfrmLogin::exec()
{
    const int r = TBaseForm::exec();
    return (r == LoginOk || r == LoginAbort) ? r : LoginCancel;
}

void TfrmLogin::showEvent(QShowEvent *event)
{
    TBaseForm::showEvent(event);
    m_flow->start();
    m_closing = false;
    m_edtLoginName->setFocus();
}

void TfrmLogin::updateOk() { m_btnOK->setEnabled(m_edtPassword->text().size() >= 8); }

bool TfrmLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == m_edtLoginName) {
                if (!m_edtLoginName->text().isEmpty())
                    m_edtPassword->setFocus();
                return true;
            }
            if (watched == m_edtPassword) {
                if (m_btnOK->isEnabled())
                    m_btnOK->click();
                return true;
            }
        }
    }
    return TBaseForm::eventFilter(watched, event);
}

void TfrmLogin::okClicked()
{
    if (m_closing || !m_btnOK->isEnabled())
        return;
    LoginFlow::Attempt attempt;
    try {
        attempt = m_flow->tryLogin(m_edtLoginName->text(), m_edtPassword->text());
    } catch (const DatabaseError &e) {
        ShowError(e.text());
        return;
    }
    switch (attempt) {
    case LoginFlow::Attempt::TryAgain:
        m_edtPassword->clear();
        m_edtPassword->setFocus();
        return;
    case LoginFlow::Attempt::Refused:
        done(LoginCancel);
        return;
    case LoginFlow::Attempt::Admitted:
        break;
    }
    switch (m_flow->databaseGate()) {
    case LoginFlow::Gate::Ok:
        done(LoginOk);
        break;
    case LoginFlow::Gate::Abort:
        done(LoginAbort);
        break;
    case LoginFlow::Gate::Terminate:
        // The application has been asked to end; the window goes with Cancel.
        done(LoginCancel);
        break;
    }
}

void TfrmLogin::reject() { done(LoginCancel); }

void TfrmLogin::done(int result)
{
    if (m_closing)
        return;
    m_closing = true;
    if (result != LoginOk && result != LoginAbort) {
        result = LoginCancel;
        if (AnnounceLoginCancelled() && m_cancelPauseMs > 0) {
            // Let the notice be read before the window (and at start-up the console) goes.
            QEventLoop wait;
            QTimer::singleShot(m_cancelPauseMs, &wait, &QEventLoop::quit);
            wait.exec();
        }
    }
    if (MainWindowHooks *main = MainWindow())
        main->setDebugButtonVisible(Login().ServiceLogin);
    TBaseForm::done(result);
}

} // namespace kovra
