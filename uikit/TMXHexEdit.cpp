#include "TMXHexEdit.h"

#include <QValidator>

namespace kovra {

namespace {
class HexValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        if (!TMXHexEdit::IsHexText(input))
            return Invalid;
        input = input.toUpper();
        return Acceptable;
    }
};
} // namespace

bool TMXHexEdit::IsHexText(const QString &text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        const bool hex = (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
        if (!hex)
            return false;
    }
    return true;
}

TMXHexEdit::TMXHexEdit(QWidget *parent) : QLineEdit(parent)
{
    setValidator(new HexValidator(this));
}

void TMXHexEdit::setFixedLength(int length, QChar fillChar, Fill side)
{
    m_length = length;
    m_fill = fillChar;
    m_side = side;
    setMaxLength(length > 0 ? length : 32767);
}

QString TMXHexEdit::value() const
{
    const QString t = text();
    if (m_length <= 0 || t.size() >= m_length)
        return t;
    const QString pad(m_length - t.size(), m_fill);
    return m_side == Fill::Right ? t + pad : pad + t;
}

} // namespace kovra
