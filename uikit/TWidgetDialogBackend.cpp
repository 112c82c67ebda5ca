#include "TWidgetDialogBackend.h"

#include "TBaseForm.h"
#include "TMXMessageDialog.h"
#include "TfrmProgress.h"

#include <QFileDialog>
#include <QStringList>

namespace kovra {

TWidgetDialogBackend::TWidgetDialogBackend() = default;

TWidgetDialogBackend::~TWidgetDialogBackend() { delete m_progress; }

bool TWidgetDialogBackend::showMessage(const QString &caption, const QString &text,
                                       MessageKind kind, bool infoStyle, int lifetimeMs)
{
    return TMXMessageDialog::Execute(caption, text, kind, infoStyle, lifetimeMs);
}

QString TWidgetDialogBackend::QtFilter(const QString &filter)
{
    if (!filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString desc = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        out << (desc.contains(QLatin1Char('(')) ? desc : desc + QLatin1String(" (") + patterns + QLatin1Char(')'));
    }
    return out.join(QLatin1String(";;"));
}

QString TWidgetDialogBackend::runFileDialog(const FileDialogRequest &request, bool save)
{
    QFileDialog dlg(nullptr, ApplyCaptionRule(request.title), request.folder, QtFilter(request.filter));
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save) {
        dlg.setFileMode(QFileDialog::AnyFile);
        if (!request.confirmOverwrite)
            dlg.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dlg.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    }
    if (!request.defaultSuffix.isEmpty())
        dlg.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dlg.selectFile(request.fileName);
    m_fileDialog = &dlg;
    const int r = dlg.exec();
    m_fileDialog = nullptr;
    if (r != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

QString TWidgetDialogBackend::openFileName(const FileDialogRequest &request) { return runFileDialog(request, false); }
QString TWidgetDialogBackend::saveFileName(const FileDialogRequest &request) { return runFileDialog(request, true); }

QString TWidgetDialogBackend::selectFolder(const QString &title, const QString &folder)
{
    QFileDialog dlg(nullptr, ApplyCaptionRule(title), folder);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    m_fileDialog = &dlg;
    const int r = dlg.exec();
    m_fileDialog = nullptr;
    if (r != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().first();
}

ProgressSink &TWidgetDialogBackend::progress()
{
    if (!m_progress)
        m_progress = new TfrmProgress;
    return *m_progress;
}

TfrmProgress *TWidgetDialogBackend::activeProgress() const
{
    return (m_progress && m_progress->isActive()) ? m_progress : nullptr;
}

void TWidgetDialogBackend::closeOpenQuestions()
{
    if (m_fileDialog)
        m_fileDialog->reject();
    TMXMessageDialog::declineAll();
}

} // namespace kovra
