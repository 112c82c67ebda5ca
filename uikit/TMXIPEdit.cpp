#include "TMXIPEdit.h"

#include <QHBoxLayout>
#include <QValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace kovra {

namespace {
// Digits only, 0..255: "256" is refused outright rather than left pending.
class OctetValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        if (input.isEmpty())
            return Intermediate;
        for (const QChar c : input)
            if (!c.isDigit() || c.unicode() > '9')
                return Invalid;
        return input.toInt() <= 255 ? Acceptable : Invalid;
    }
};
} // namespace

TMXIPEdit::TMXIPEdit(const QString &partPrefix, QWidget *parent) : QWidget(parent)
{
    auto *l = new QHBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(1);
    for (int i = 0; i < 4; ++i) {
        auto *e = new QLineEdit(this);
        e->setObjectName(partPrefix + QString::number(i + 1));
        e->setMaxLength(3);
        e->setValidator(new OctetValidator(e));
        e->setAlignment(Qt::AlignCenter);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 10);
        e->installEventFilter(this);
        connect(e, &QLineEdit::textChanged, this, [this] { Q_EMIT textChanged(text()); });
        m_parts[i] = e;
        l->addWidget(e);
        if (i < 3)
            l->addWidget(new QLabel(QStringLiteral("."), this));
    }
    l->addStretch();
    setFocusProxy(m_parts[0]);
}

bool TMXIPEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (ke->key() == Qt::Key_Period || ke->text() == QLatin1String(".")) {
            for (int i = 0; i < 3; ++i) {
                if (watched == m_parts[i]) {
                    m_parts[i + 1]->setFocus();
                    m_parts[i + 1]->selectAll();
                    break;
                }
            }
            return true;   // the dot itself never enters a part
        }
    }
    return QWidget::eventFilter(watched, event);
}

QString TMXIPEdit::text() const
{
    QStringList parts;
    for (auto *e : m_parts)
        parts << e->text();
    return parts.join(QLatin1Char('.'));
}

void TMXIPEdit::setText(const QString &dotted)
{
    const QStringList parts = dotted.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i)
        m_parts[i]->setText(i < parts.size() ? parts[i].trimmed() : QString());
}

bool TMXIPEdit::isComplete() const
{
    for (auto *e : m_parts) {
        bool ok = false;
        const int v = e->text().toInt(&ok);
        if (!ok || v < 0 || v > 255)
            return false;
    }
    return true;
}

void TMXIPEdit::setReadOnly(bool readOnly)
{
    for (auto *e : m_parts)
        e->setReadOnly(readOnly);
}

} // namespace kovra
