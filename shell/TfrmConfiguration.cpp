#include "TfrmConfiguration.h"
#include "TdmdMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kovra {

namespace {
TfrmConfiguration *g_current = nullptr;

QSpinBox *spin(const QString &name, int min, int max, int step, QWidget *parent)
{
    auto *s = new QSpinBox(parent);
    s->setObjectName(name);
    s->setRange(min, max);
    s->setSingleStep(step);
    return s;
}

QWidget *page(const QString &heading, QTabWidget *tabs, const QString &title, QGridLayout **grid)
{
    auto *w = new QWidget(tabs);
    auto *v = new QVBoxLayout(w);
    auto *box = new QGroupBox(heading, w);
    *grid = new QGridLayout(box);
    v->addWidget(box);
    v->addStretch();
    tabs->addTab(w, title);
    return w;
}
} // namespace

TfrmConfiguration::TfrmConfiguration(TdmdMain &dm, QWidget *parent) : TBaseForm(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("frmConfiguration"));
    setCaption(QStringLiteral("Configuration"));
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("pgcConfiguration"));
    QGridLayout *g = nullptr;

    // The TCP server and COM port pages are kept for their values only.
    page(QStringLiteral("TCP/IP Server Settings"), m_pages, QStringLiteral("TCP Server"), &g);
    g->addWidget(new QLabel(QStringLiteral("UPK/SA TCP Server"), this), 0, 0);
    m_btnTCPServer = new QPushButton(QStringLiteral("Start Server"), this);
    m_btnTCPServer->setObjectName(QStringLiteral("btnTCPServer"));
    g->addWidget(m_btnTCPServer, 0, 1);
    m_edtTCPServer = spin(QStringLiteral("edtTCPServer"), TcpServerPortMin, TcpServerPortMax, 1, this);
    g->addWidget(m_edtTCPServer, 1, 1);

    page(QStringLiteral("Local Programming COM Port Settings"), m_pages, QStringLiteral("COM Port"), &g);
    g->addWidget(new QLabel(QStringLiteral("Select COM Port:"), this), 0, 0);
    m_cbxComPort = new QComboBox(this);
    m_cbxComPort->setObjectName(QStringLiteral("cbxComPort"));
    m_cbxComPort->setEditable(true);   // shows the configured name even when no such port exists here
    m_cbxComPort->addItems(SystemSerialPorts());
    g->addWidget(m_cbxComPort, 0, 1);
    g->addWidget(new QLabel(QStringLiteral("Baud Rate"), this), 1, 0);
    m_cbxBaud = new QComboBox(this);
    m_cbxBaud->setObjectName(QStringLiteral("cbxBaud"));
    m_cbxBaud->addItems(BaudChoices());
    g->addWidget(m_cbxBaud, 1, 1);
    g->addWidget(new QLabel(QStringLiteral("Databits"), this), 2, 0);
    m_cbxDatabits = new QComboBox(this);
    m_cbxDatabits->setObjectName(QStringLiteral("cbxDatabits"));
    m_cbxDatabits->addItems(DataBitsChoices());
    g->addWidget(m_cbxDatabits, 2, 1);

    QWidget *access = page(QStringLiteral("Access Settings"), m_pages, QStringLiteral("Access"), &g);
    access->setObjectName(QStringLiteral("tbsAccess"));
    g->addWidget(new QLabel(QStringLiteral("Password Expire Period"), this), 0, 0);
    m_edtExpire = spin(QStringLiteral("edtExpire"), ExpireMin, ExpireMax, ExpireStep, this);
    g->addWidget(m_edtExpire, 0, 1);
    g->addWidget(new QLabel(QStringLiteral("Day(s)"), this), 0, 2);
    m_cbPasswordExpire = new QCheckBox(QStringLiteral("Password Never Expires"), this);
    m_cbPasswordExpire->setObjectName(QStringLiteral("cbPasswordExpire"));
    g->addWidget(m_cbPasswordExpire, 1, 0, 1, 3);
    g->addWidget(new QLabel(QStringLiteral("Auto-Logout Delay"), this), 2, 0);
    m_edtAutoLogout = spin(QStringLiteral("edtAutoLogout"), AutoLogoutMin, AutoLogoutMax, 1, this);
    g->addWidget(m_edtAutoLogout, 2, 1);
    g->addWidget(new QLabel(QStringLiteral("minute(s)"), this), 2, 2);
    m_cbAutologout = new QCheckBox(QStringLiteral("No Auto-Logout"), this);
    m_cbAutologout->setObjectName(QStringLiteral("cbAutologout"));
    g->addWidget(m_cbAutologout, 3, 0, 1, 3);

    m_pages->setTabVisible(0, false);
    m_pages->setTabVisible(1, false);
    m_pages->setCurrentIndex(2);

    m_btnOK = new QPushButton(QStringLiteral("&OK"), this);
    m_btnOK->setObjectName(QStringLiteral("btnOK"));
    m_btnOK->setDefault(true);
    m_btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnOK);
    buttons->addWidget(m_btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(buttons);

    connect(m_btnOK, &QPushButton::clicked, this, &TfrmConfiguration::btnOKClicked);
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    const ConfigurationInput in = InputFromSettings(m_dm.settings());
    m_edtExpire->setValue(in.expireDays);
    m_cbPasswordExpire->setChecked(in.passwordNeverExpires);
    m_edtAutoLogout->setValue(in.autoLogoutMinutes);
    m_cbAutologout->setChecked(in.noAutoLogout);
    m_cbxComPort->setCurrentText(in.comPort);
    m_cbxBaud->setCurrentIndex(in.baudIndex);
    m_cbxDatabits->setCurrentIndex(in.dataBitsIndex);
    m_edtTCPServer->setValue(in.tcpServerPort);
    updateServerControls();
    g_current = this;
}

TfrmConfiguration::~TfrmConfiguration()
{
    if (g_current == this)
        g_current = nullptr;
}

TfrmConfiguration *TfrmConfiguration::current() { return g_current; }

void TfrmConfiguration::showEvent(QShowEvent *event)
{
    m_edtTCPServer->setValue(qBound(TcpServerPortMin, m_dm.settings().tcpServerPort, TcpServerPortMax));
    updateServerControls();
    TBaseForm::showEvent(event);
}

void TfrmConfiguration::updateServerControls()
{
    const bool running = m_dm.settings().tcpServer;
    m_btnTCPServer->setText(running ? QStringLiteral("Stop Server") : QStringLiteral("Start Server"));
    m_btnTCPServer->setIcon(style()->standardIcon(running ? QStyle::SP_MediaStop : QStyle::SP_MediaPlay));
    m_edtTCPServer->setEnabled(!running);
}

ConfigurationInput TfrmConfiguration::readControls() const
{
    ConfigurationInput in;
    in.expireDays = m_edtExpire->value();
    in.passwordNeverExpires = m_cbPasswordExpire->isChecked();
    in.autoLogoutMinutes = m_edtAutoLogout->value();
    in.noAutoLogout = m_cbAutologout->isChecked();
    in.comPort = m_cbxComPort->currentText();
    in.baudIndex = m_cbxBaud->currentIndex();
    in.dataBitsIndex = m_cbxDatabits->currentIndex();
    in.tcpServerPort = m_edtTCPServer->value();
    return in;
}

void TfrmConfiguration::btnOKClicked()
{
    ApplyConfiguration(m_dm, readControls());
    accept();
}

} // namespace kovra
