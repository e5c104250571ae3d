#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <QVector>

#include <functional>
#include <optional>

// A report-style list: titled columns, rows of cell texts, one selected row. Grid lines
// between the cells, the selection kept visible without the focus, rows in the order they
// were appended, cells not editable.
class ListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);
    // Titles are shown as given, spaces included; a column's alignment holds for its title
    // and its cells (left when none is given).
    void setColumns(
        const QStringList& titles, const QVector<int>& widths, const QVector<Qt::Alignment>& alignments = {});
    Qt::Alignment columnAlignment(int column) const;
    // Deletes every row without raising currentRowChanged: a refill is not a pick.
    void clearRows();
    int appendRow();
    void setListCell(int row, int column, const QString& text);
    QString getListCell(int row, int column) const;
    int rowCount() const { return topLevelItemCount(); }
    // -1 when no row is selected.
    int selectedRow() const;
    // Fills the list again with `refill`, the row picked before picked again where its text in
    // `keyColumn` is still there; no pick is raised, so what the operator typed stays.
    void refillKeepingPick(int keyColumn, const std::function<void()>& refill);

signals:
    // A row became the focused row; by then a click has selected it too.
    void currentRowChanged(int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QVector<Qt::Alignment> m_alignments;
    bool m_pressing = false;
    std::optional<int> m_pressedRow;
};
