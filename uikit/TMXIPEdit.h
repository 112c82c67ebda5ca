#pragma once
// Four-part IPv4 box: four small edits of 0..255; typing "." moves to the next
// part. The parts carry the names prefix + "1" .. prefix + "4" so that windows
// keep their control names (edtIPAddress1 .. edtIPAddress4).
#include <QWidget>

class QLineEdit;

namespace kovra {

class TMXIPEdit : public QWidget {
    Q_OBJECT
public:
    explicit TMXIPEdit(const QString &partPrefix, QWidget *parent = nullptr);

    QLineEdit *part(int index) const { return m_parts[index]; }   // 0..3
    // Dotted text of the four parts as typed ("10.0..1" while one is empty).
    QString text() const;
    // Fills the parts from a dotted address; missing parts stay empty.
    void setText(const QString &dotted);
    // All four parts filled, each 0..255.
    bool isComplete() const;
    void setReadOnly(bool readOnly);

Q_SIGNALS:
    void textChanged(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLineEdit *m_parts[4];
};

} // namespace kovra
