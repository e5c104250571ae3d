#include "egrid.h"

#include "inputfilter.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>

EGrid::EGrid(QWidget* parent)
    : QTableView(parent)
    , m_model(new EGridModel(this))
{
    setModel(m_model);
    setItemDelegate(new EGridDelegate(this));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setMinimumSectionSize(0);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setWordWrap(false);
    // Narrow money columns such as ￥0.067 must show whole: a compact font, no eliding.
    QFont compact = font();
    compact.setPixelSize(12);
    setFont(compact);
    setTextElideMode(Qt::ElideNone);

    connect(m_model, &EGridModel::columnWidthChanged, this,
        [this](int column, int pixels) { setColumnWidth(column, pixels); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        for (int c = 0; c < m_model->gridColumnCount(); ++c)
            setColumnWidth(c, m_model->columnWidth(c));
    });
    connect(m_model, &EGridModel::currentCellChanged, this, &EGrid::followModelCursor);
    connect(m_model, &EGridModel::cellChanged, this, &EGrid::cellChanged);
    connect(m_model, &EGridModel::listItemChosen, this, &EGrid::listItemChosen);
    connect(this, &QAbstractItemView::doubleClicked, this, [this] { emit cellDoubleClicked(); });
}

void EGrid::setRowSelection(bool on)
{
    setSelectionBehavior(on ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void EGrid::setRowHeight(int pixels)
{
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(pixels);
}

void EGrid::followModelCursor(int row, int column)
{
    if (m_syncing)
        return;
    m_syncing = true;
    setCurrentIndex(m_model->index(row, column));
    m_syncing = false;
}

void EGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (m_syncing || !current.isValid())
        return;
    m_syncing = true;
    m_model->setCurrentCell(current.row(), current.column());
    m_syncing = false;
}

QWidget* EGridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
    const QModelIndex& index) const
{
    const auto* grid = qobject_cast<const EGridModel*>(index.model());
    if (!grid)
        return QStyledItemDelegate::createEditor(parent, option, index);
    const EGridModel::ColumnType type = grid->columnType(index.column());
    if (type == EGridModel::DropDownColumn || type == EGridModel::PickColumn) {
        auto* box = new QComboBox(parent);
        box->setEditable(type == EGridModel::DropDownColumn);
        // A typed text is an edit, not a pick: Enter neither adds it to the list nor, when it
        // matches an item, picks that item as the combo box would when its editing finishes.
        box->setInsertPolicy(QComboBox::NoInsert);
        if (box->lineEdit())
            disconnect(box->lineEdit(), &QLineEdit::editingFinished, box, nullptr);
        box->addItems(grid->items(index.column()));
        const int row = index.row();
        const int column = index.column();
        auto* model = const_cast<EGridModel*>(grid);
        auto* self = const_cast<EGridDelegate*>(this);
        connect(box, &QComboBox::activated, box, [self, box, model, row, column](int i) {
            const QString text = box->itemText(i);
            // Closed first, without a commit, so the pick is stored once: and what the pick sets
            // off may show a message box, whose event loop must find no editor left to delete
            // and hand back. The view deletes the box later, from the loop it was opened in.
            emit self->closeEditor(box);
            model->commitChoice(row, column, text); // the box is not touched after this
        });
        return box;
    }
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    if (grid->isNumericColumn(index.column()))
        InputFilter::attach(edit, InputFilter::GridNumber);
    return edit;
}

void EGridDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const QString text = index.data(Qt::EditRole).toString();
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        // Selecting first: selecting no item would empty the edit text of a typed name.
        box->setCurrentIndex(box->findText(text));
        if (box->isEditable())
            box->setEditText(text);
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void EGridDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, box->currentText(), Qt::EditRole);
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        model->setData(index, edit->text(), Qt::EditRole);
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}
