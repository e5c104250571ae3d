#pragma once

#include "common/egridmodel.h"

#include <QStyledItemDelegate>
#include <QTableView>

// The grid control of the windows: a table view over an EGridModel. It shows the model's
// cells (row 0 as the header), edits them in place with the key filter of numeric columns
// and drop-down lists, and passes the grid's events on as signals.
class EGrid : public QTableView {
    Q_OBJECT
public:
    explicit EGrid(QWidget* parent = nullptr);

    EGridModel& cells() { return *m_model; }
    const EGridModel& cells() const { return *m_model; }

    // Whole rows are highlighted by the cursor when on.
    void setRowSelection(bool on);
    void setRowHeight(int pixels);

signals:
    void cellChanged();
    void listItemChosen(int row, int column, const QString& text);
    void cellDoubleClicked();

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void followModelCursor(int row, int column);

    EGridModel* m_model;
    bool m_syncing = false;
};

// Editors of the grid's cells by column type.
class EGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};
