#pragma once
// Edit box for hexadecimal text: accepts only 0-9, A-F, a-f (shown upper case)
// and editing keys; pasted text is held to the same rule.
#include <QLineEdit>

namespace kovra {

class TMXHexEdit : public QLineEdit {
    Q_OBJECT
public:
    enum class Fill { Right, Left };

    explicit TMXHexEdit(QWidget *parent = nullptr);

    // Fixed-length values (keys, account numbers, passwords): the box holds at
    // most `length` digits and value() reads the positions left empty as
    // `fillChar`, on the given side.
    void setFixedLength(int length, QChar fillChar = QLatin1Char('0'), Fill side = Fill::Right);
    int fixedLength() const { return m_length; }
    QString value() const;

    static bool IsHexText(const QString &text);

private:
    int m_length = 0;
    QChar m_fill = QLatin1Char('0');
    Fill m_side = Fill::Right;
};

} // namespace kovra
