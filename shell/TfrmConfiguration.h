#pragma once
// "Kovra Console | Configuration": the access settings that login and the
// auto-logout obey. Two further pages (TCP server, COM port) are never shown;
// their values are kept and written back on OK.
#include "ConfigurationOps.h"
#include "TBaseForm.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace kovra {

class TdmdMain;

class TfrmConfiguration : public TBaseForm {
    Q_OBJECT
public:
    explicit TfrmConfiguration(TdmdMain &dm, QWidget *parent = nullptr);
    ~TfrmConfiguration() override;

    // The open configuration window, null when none (the auto-logout closes it).
    static TfrmConfiguration *current();

    ConfigurationInput readControls() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void btnOKClicked();
    void updateServerControls();

    TdmdMain &m_dm;
    QTabWidget *m_pages;
    QSpinBox *m_edtExpire;
    QCheckBox *m_cbPasswordExpire;
    QSpinBox *m_edtAutoLogout;
    QCheckBox *m_cbAutologout;
    QPushButton *m_btnTCPServer;
    QSpinBox *m_edtTCPServer;
    QComboBox *m_cbxComPort;
    QComboBox *m_cbxBaud;
    QComboBox *m_cbxDatabits;
    QPushButton *m_btnOK;
    QPushButton *m_btnCancel;
};

} // namespace kovra
