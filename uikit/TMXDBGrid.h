#pragma once
// Data grid of the console: a row-selecting table over any item model whose
// horizontal header names the fields (as QSqlQueryModel does). Columns are
// chosen and titled by field name; read-only cells are coloured like a panel.
#include <QList>
#include <QSet>
#include <QString>
#include <QTableView>

class QIdentityProxyModel;

namespace kovra {

struct GridColumn {
    QString field;
    QString title;
    int width = 100;
};

class TMXDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TMXDBGrid(QWidget *parent = nullptr);

    void setSourceModel(QAbstractItemModel *model);
    QAbstractItemModel *sourceModel() const;
    // Shows only these fields, in this order, under these titles.
    void setColumns(const QList<GridColumn> &columns);

    // A read-only grid does not edit in place and colours all its cells as
    // read-only; single fields can be marked read-only too.
    void setGridReadOnly(bool readOnly);
    bool isGridReadOnly() const { return m_readOnly; }
    void setFieldReadOnly(const QString &field, bool readOnly);
    bool isFieldReadOnly(const QString &field) const;

    QString fieldName(int column) const;
    int columnOfField(const QString &field) const;
    QString titleOfColumn(int column) const;
    // Visible column at visual position (0 = leftmost shown).
    int columnAtPosition(int position) const;

    int currentRow() const;        // -1 when none
    void setCurrentRow(int row);   // selects the row and scrolls to it
    QVariant value(int row, const QString &field) const;
    QVariant currentValue(const QString &field) const { return value(currentRow(), field); }
    int rowCount() const;
    // Fetches every row of a lazily fetching model (counters need the total).
    void fetchAll();

Q_SIGNALS:
    void titleClicked(const QString &field);
    void currentRowChanged(int row);

private:
    void applyColumns();
    int columnOfFieldInList(int column) const;

    QIdentityProxyModel *m_proxy;
    QList<GridColumn> m_columns;
    QSet<QString> m_readOnlyFields;
    bool m_readOnly = false;
    friend class GridProxy;
};

} // namespace kovra
