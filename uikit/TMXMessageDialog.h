#pragma once
// The message dialog behind ShowInfo, ShowError, AskQuestion and their timed
// forms when the console runs with widgets.
#include "MessageDialogs.h"
#include "TBaseForm.h"

#include <QList>
#include <QPointer>

class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace kovra {

class TMXMessageDialog : public TBaseForm {
    Q_OBJECT
public:
    TMXMessageDialog(const QString &caption, const QString &text, MessageKind kind,
                     bool infoStyle, QWidget *parent = nullptr);
    ~TMXMessageDialog() override;

    // Shows one message. lifetimeMs > 0: non-modal, on top, closes itself and
    // reports TimedMessageClosed; returns true at once. 0: modal; returns true
    // when the person declined (second button).
    static bool Execute(const QString &caption, const QString &text, MessageKind kind,
                        bool infoStyle, int lifetimeMs);

    // Every message dialog on screen, oldest first.
    static QList<TMXMessageDialog *> openDialogs();
    // Answers every open dialog with its No/Cancel button (Done for one-button
    // notices); used by the auto-logout.
    static void declineAll();

    MessageKind kind() const { return m_kind; }
    QString text() const { return m_text; }
    bool isTimed() const { return m_timed; }
    void decline();

    // Height of the memo by the rule: the larger of 22 pixels and the wrapped
    // line count times the line height plus 6.
    int memoHeightFor(int memoWidth) const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

public Q_SLOTS:
    void reject() override;

private:
    void finishBy(int result);

    QString m_text;
    MessageKind m_kind;
    bool m_timed = false;
    bool m_byButton = false;
    QPlainTextEdit *m_memo;
    QWidget *m_buttons;
    QPushButton *m_first;
    QPushButton *m_second;
};

} // namespace kovra
