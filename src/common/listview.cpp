#include "listview.h"

ListView::ListView(QWidget* parent)
    : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    connect(this, &QTreeWidget::currentItemChanged, this,
        [this](QTreeWidgetItem* current) { emit currentRowChanged(current ? indexOfTopLevelItem(current) : -1); });
}

void ListView::setColumns(const QStringList& titles, const QVector<int>& widths)
{
    setColumnCount(int(titles.size()));
    setHeaderLabels(titles);
    for (int i = 0; i < widths.size() && i < titles.size(); ++i)
        setColumnWidth(i, widths[i]);
}

void ListView::clearRows() { clear(); }

int ListView::appendRow()
{
    addTopLevelItem(new QTreeWidgetItem);
    return topLevelItemCount() - 1;
}

void ListView::setListCell(int row, int column, const QString& text)
{
    if (QTreeWidgetItem* item = topLevelItem(row); item && column >= 0 && column < columnCount())
        item->setText(column, text);
}

QString ListView::getListCell(int row, int column) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item && column >= 0 ? item->text(column) : QString();
}

int ListView::selectedRow() const
{
    const QList<QTreeWidgetItem*> items = selectedItems();
    return items.isEmpty() ? -1 : indexOfTopLevelItem(items.first());
}

