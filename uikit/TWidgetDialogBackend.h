#pragma once
// The widget backend of the dialog seam: message dialogs, file dialogs and the
// progress window of the console. Installed by the console's main().
#include "MessageDialogs.h"

#include <QPointer>

class QFileDialog;

namespace kovra {

class TfrmProgress;

class TWidgetDialogBackend : public DialogBackend {
public:
    TWidgetDialogBackend();
    ~TWidgetDialogBackend() override;

    bool showMessage(const QString &caption, const QString &text, MessageKind kind,
                     bool infoStyle, int lifetimeMs) override;
    QString openFileName(const FileDialogRequest &request) override;
    QString saveFileName(const FileDialogRequest &request) override;
    QString selectFolder(const QString &title, const QString &folder) override;
    ProgressSink &progress() override;
    void closeOpenQuestions() override;

    // The progress window while an operation shows it, else null.
    TfrmProgress *activeProgress() const;
    // "Kovra Account Files (*.kva)|*.kva" style filters become Qt filters.
    static QString QtFilter(const QString &filter);

private:
    QString runFileDialog(const FileDialogRequest &request, bool save);

    TfrmProgress *m_progress = nullptr;
    QPointer<QFileDialog> m_fileDialog;
};

} // namespace kovra
