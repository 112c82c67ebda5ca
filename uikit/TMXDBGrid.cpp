#include "TMXDBGrid.h"

#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QPalette>

namespace kovra {

class GridProxy : public QIdentityProxyModel {
public:
    GridProxy(TMXDBGrid *grid) : QIdentityProxyModel(grid), m_grid(grid) {}

    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole) {
            const QString field = QIdentityProxyModel::headerData(section, o, role).toString();
            for (const GridColumn &c : m_grid->m_columns)
                if (c.field.compare(field, Qt::CaseInsensitive) == 0)
                    return c.title;
        }
        return QIdentityProxyModel::headerData(section, o, role);
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role == Qt::BackgroundRole && index.isValid()
            && (m_grid->m_readOnly || (!m_grid->m_readOnlyFields.isEmpty() && m_grid->isFieldReadOnly(fieldOf(index)))))
            return m_grid->palette().color(QPalette::Button);
        return QIdentityProxyModel::data(index, role);
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        Qt::ItemFlags f = QIdentityProxyModel::flags(index);
        if (m_grid->m_readOnly || (!m_grid->m_readOnlyFields.isEmpty() && m_grid->isFieldReadOnly(fieldOf(index))))
            f &= ~Qt::ItemIsEditable;
        return f;
    }

    QString fieldOf(const QModelIndex &index) const
    {
        return sourceModel() ? sourceModel()->headerData(index.column(), Qt::Horizontal).toString() : QString();
    }

private:
    TMXDBGrid *m_grid;
};

TMXDBGrid::TMXDBGrid(QWidget *parent) : QTableView(parent), m_proxy(new GridProxy(this))
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setFixedWidth(14);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(true);
    setModel(m_proxy);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        Q_EMIT titleClicked(fieldName(section));
    });
    connect(m_proxy, &QAbstractItemModel::modelReset, this, &TMXDBGrid::applyColumns);
    connect(m_proxy, &QAbstractItemModel::layoutChanged, this, &TMXDBGrid::applyColumns);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &cur, const QModelIndex &) { Q_EMIT currentRowChanged(cur.isValid() ? cur.row() : -1); });
}

void TMXDBGrid::setSourceModel(QAbstractItemModel *model)
{
    m_proxy->setSourceModel(model);
    applyColumns();
}

QAbstractItemModel *TMXDBGrid::sourceModel() const { return m_proxy->sourceModel(); }

void TMXDBGrid::setColumns(const QList<GridColumn> &columns)
{
    m_columns = columns;
    applyColumns();
}

void TMXDBGrid::applyColumns()
{
    if (!m_proxy->sourceModel() || m_columns.isEmpty())
        return;
    QHeaderView *h = horizontalHeader();
    const int n = m_proxy->columnCount();
    for (int c = 0; c < n; ++c)
        setColumnHidden(c, columnOfFieldInList(c) < 0);
    int position = 0;
    for (const GridColumn &gc : m_columns) {
        const int c = columnOfField(gc.field);
        if (c < 0)
            continue;
        h->moveSection(h->visualIndex(c), position++);
        setColumnWidth(c, gc.width);
    }
}

int TMXDBGrid::columnOfFieldInList(int column) const
{
    const QString f = fieldName(column);
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].field.compare(f, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TMXDBGrid::setGridReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    viewport()->update();
}

void TMXDBGrid::setFieldReadOnly(const QString &field, bool readOnly)
{
    if (readOnly)
        m_readOnlyFields.insert(field.toLower());
    else
        m_readOnlyFields.remove(field.toLower());
    viewport()->update();
}

bool TMXDBGrid::isFieldReadOnly(const QString &field) const { return m_readOnlyFields.contains(field.toLower()); }

QString TMXDBGrid::fieldName(int column) const
{
    if (!m_proxy->sourceModel() || column < 0)
        return {};
    return m_proxy->sourceModel()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

int TMXDBGrid::columnOfField(const QString &field) const
{
    if (!m_proxy->sourceModel())
        return -1;
    const int n = m_proxy->sourceModel()->columnCount();
    for (int c = 0; c < n; ++c)
        if (fieldName(c).compare(field, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

QString TMXDBGrid::titleOfColumn(int column) const
{
    return m_proxy->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
}

int TMXDBGrid::columnAtPosition(int position) const
{
    const QHeaderView *h = horizontalHeader();
    int shown = 0;
    for (int v = 0; v < h->count(); ++v) {
        const int logical = h->logicalIndex(v);
        if (h->isSectionHidden(logical))
            continue;
        if (shown++ == position)
            return logical;
    }
    return -1;
}

int TMXDBGrid::currentRow() const
{
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() : -1;
}

void TMXDBGrid::setCurrentRow(int row)
{
    if (row < 0 || row >= m_proxy->rowCount()) {
        return;
    }
    int col = columnAtPosition(0);
    if (col < 0)
        col = 0;
    const QModelIndex idx = m_proxy->index(row, col);
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(idx);
}

QVariant TMXDBGrid::value(int row, const QString &field) const
{
    const int c = columnOfField(field);
    if (row < 0 || c < 0)
        return {};
    return m_proxy->sourceModel()->index(row, c).data(Qt::EditRole);
}

int TMXDBGrid::rowCount() const { return m_proxy->rowCount(); }

void TMXDBGrid::fetchAll()
{
    QAbstractItemModel *m = m_proxy->sourceModel();
    if (!m)
        return;
    while (m->canFetchMore(QModelIndex()))
        m->fetchMore(QModelIndex());
}

} // namespace kovra
