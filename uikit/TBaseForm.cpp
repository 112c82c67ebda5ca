#include "TBaseForm.h"

namespace kovra {

namespace {
QString &title()
{
    static QString t = QStringLiteral("Kovra Console");
    return t;
}
} // namespace

QString ApplicationTitle() { return title(); }
void SetApplicationTitle(const QString &t) { title() = t; }

QString ApplyCaptionRule(const QString &caption)
{
    if (caption.contains(QLatin1String(" | ")))
        return caption;
    return ApplicationTitle() + QLatin1String(" | ") + caption;
}

TBaseForm::TBaseForm(QWidget *parent) : QDialog(parent)
{
    // Windows without a caption of their own still carry the title.
    setWindowTitle(ApplicationTitle());
}

void TBaseForm::setCaption(const QString &caption) { setWindowTitle(ApplyCaptionRule(caption)); }

} // namespace kovra
