#pragma once
// The kit's base window: every secondary window of the console derives from it
// so that captions follow one rule and the auto-logout can find open windows.
#include <QDialog>
#include <QString>

namespace kovra {

// "Kovra Console" unless a front end sets another title.
QString ApplicationTitle();
void SetApplicationTitle(const QString &title);

// Title + " | " + caption, unless the caption already holds " | ".
QString ApplyCaptionRule(const QString &caption);

class TBaseForm : public QDialog {
    Q_OBJECT
public:
    explicit TBaseForm(QWidget *parent = nullptr);
    // Sets the window title through the caption rule.
    void setCaption(const QString &caption);
    QString caption() const { return windowTitle(); }
};

} // namespace kovra
