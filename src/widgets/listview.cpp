#include "listview.h"

#include <QHeaderView>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include <utility>

namespace {

// Draws the cell as usual, then its right and bottom edge, so the cells read as a grid.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        const QRect r = option.rect;
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }
};

} // namespace

ListView::ListView(QWidget* parent)
    : QTreeWidget(parent)
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setItemDelegate(new GridLineDelegate(this));
    header()->setSectionsMovable(false);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);

    // The operator works in the entry boxes below the list and must still see which row
    // the buttons act on.
    QPalette p = palette();
    for (QPalette::ColorRole role : { QPalette::Highlight, QPalette::HighlightedText })
        p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
    setPalette(p);

    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        const int row = current ? indexOfTopLevelItem(current) : -1;
        // A click makes the row current before it selects it; its handler reads the
        // selected row, so the signal waits until the press is done.
        if (m_pressing)
            m_pressedRow = row;
        else
            emit currentRowChanged(row);
    });
}

void ListView::mousePressEvent(QMouseEvent* event)
{
    m_pressing = true;
    m_pressedRow.reset();
    QTreeWidget::mousePressEvent(event);
    m_pressing = false;
    if (const std::optional<int> row = std::exchange(m_pressedRow, std::nullopt))
        emit currentRowChanged(*row);
}

void ListView::focusInEvent(QFocusEvent* event)
{
    // Taking the focus makes the first row current without selecting it. Nobody picked that
    // row, so it is neither announced nor kept: the arrow keys still start at the first row.
    if (currentItem()) {
        QTreeWidget::focusInEvent(event);
        return;
    }
    const QSignalBlocker quiet(this);
    QTreeWidget::focusInEvent(event);
    if (selectedItems().isEmpty())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void ListView::setColumns(
    const QStringList& titles, const QVector<int>& widths, const QVector<Qt::Alignment>& alignments)
{
    setColumnCount(int(titles.size()));
    setHeaderLabels(titles);
    m_alignments.clear();
    for (int i = 0; i < titles.size(); ++i) {
        const Qt::Alignment a = alignments.value(i, Qt::AlignLeft);
        m_alignments.append(a);
        headerItem()->setTextAlignment(i, a | Qt::AlignVCenter);
        if (i < widths.size())
            setColumnWidth(i, widths[i]);
    }
}

Qt::Alignment ListView::columnAlignment(int column) const
{
    return m_alignments.value(column, Qt::AlignLeft);
}

void ListView::clearRows()
{
    const QSignalBlocker quiet(this);
    clear();
}

int ListView::appendRow()
{
    auto* item = new QTreeWidgetItem;
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    for (int c = 0; c < columnCount(); ++c)
        item->setTextAlignment(c, columnAlignment(c) | Qt::AlignVCenter);
    addTopLevelItem(item);
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

void ListView::refillKeepingPick(int keyColumn, const std::function<void()>& refill)
{
    const int picked = selectedRow();
    const QString key = picked >= 0 ? getListCell(picked, keyColumn) : QString();
    const QSignalBlocker quiet(this);
    refill();
    for (int r = 0; picked >= 0 && r < rowCount(); ++r) {
        if (getListCell(r, keyColumn) == key) {
            setCurrentItem(topLevelItem(r));
            break;
        }
    }
}
