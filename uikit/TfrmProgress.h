#pragma once
// The one progress window of long operations: a text line, a percentage bar
// and a Cancel button whose flag the operations poll between steps.
#include "MessageDialogs.h"
#include "TBaseForm.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

namespace kovra {

class TfrmProgress : public TBaseForm, public ProgressSink {
    Q_OBJECT
public:
    explicit TfrmProgress(QWidget *parent = nullptr);

    // Nested begin/end pairs share one window; the outermost end hides it and
    // the bar and Cancel flag start afresh with the next outermost begin.
    void begin(const QString &text, bool cancelButton) override;
    void setText(const QString &text) override;
    void setPercent(int percent) override;
    bool cancelled() override;
    void end() override;

    bool isActive() const { return m_depth > 0; }
    bool cancelFlag() const { return m_cancel; }

private:
    QLabel *m_wait;
    QProgressBar *m_animation;
    QWidget *m_pnlProgress;
    QProgressBar *m_bar;
    QWidget *m_pnlCancel;
    QPushButton *m_btnCancel;
    int m_depth = 0;
    bool m_cancel = false;
};

} // namespace kovra
