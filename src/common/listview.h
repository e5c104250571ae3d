#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <QVector>

// A report-style list: titled columns, rows of cell texts, one selected row.
class ListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);
    void setColumns(const QStringList& titles, const QVector<int>& widths);
    void clearRows();
    int appendRow();
    void setListCell(int row, int column, const QString& text);
    QString getListCell(int row, int column) const;
    int rowCount() const { return topLevelItemCount(); }
    // -1 when no row is selected.
    int selectedRow() const;

signals:
    void currentRowChanged(int row);
};
