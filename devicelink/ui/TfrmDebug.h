#pragma once
// The trace window: while it is open every trace line of the device link is
// appended here; closed, tracing costs nothing.
#include "TBaseForm.h"

class QPlainTextEdit;
class QPushButton;

namespace kovra {

class TfrmDebug : public TBaseForm {
    Q_OBJECT
public:
    explicit TfrmDebug(QWidget *parent = nullptr);
    ~TfrmDebug() override;

    // The one open trace window, or nullptr.
    static TfrmDebug *instance();

    // Safe from any thread: lines from other threads are queued to the window's.
    void AddLine(const QString &line);

    QPlainTextEdit *memDebug() const { return m_memDebug; }

private Q_SLOTS:
    void appendLine(const QString &line);
    void btnClearClick();
    void btnCopyToClipboardClick();
    void btnDoneClick();

private:
    QPlainTextEdit *m_memDebug;
};

} // namespace kovra
