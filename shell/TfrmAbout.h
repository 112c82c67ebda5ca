#pragma once
// "Kovra Console | About": version, contacts and the maker's description.
#include "TBaseForm.h"

class QLabel;

namespace kovra {

class TfrmAbout : public TBaseForm {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *parent = nullptr);
    ~TfrmAbout() override;

    // The open about window, null when none.
    static TfrmAbout *current();

    // KOVRA_VERSION written as four dot-separated numbers.
    static QString versionText();

private:
    QLabel *m_lblVersion;
};

// Opens the about window modally unless one is open already.
void ShowAbout(QWidget *parent);

} // namespace kovra
