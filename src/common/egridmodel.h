#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QSharedData>
#include <QVariant>
#include <QVector>

#include <map>

// The cells of a spreadsheet-like grid and every rule about them: typed columns, decimals,
// show-zero, formulas and column sums recomputed in a chain, read-only cells, colours and the
// current cell. Windows configure it and read and write cells; EGrid only shows and edits it.
// Row 0 is the header row; the row count includes it.
class EGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Kinds of columns, of formula operations and of cell alignment: the numbers are those
    // the windows' configurations were written with.
    enum ColumnType : int {
        TextColumn = 1,
        NumberColumn = 2,
        DateColumn = 3,
        DropDownColumn = 4,
        CheckColumn = 5,
        ButtonColumn = 6,
        MoneyColumn = 7,
        PickColumn = 8
    };
    enum Operation : int { Add = 1, Subtract = 2, Multiply = 3, Divide = 4 };
    enum Align : int { AlignDefault = 0, AlignLeft = 1, AlignCentre = 2, AlignRight = 3 };
    enum CellKind { Content = 1, CheckState = 5, Picture = 6 };

    explicit EGridModel(QObject* parent = nullptr);

    // Shape.
    int gridRowCount() const { return int(m_cells.size()); }
    void setGridRowCount(int rows);
    int gridColumnCount() const { return int(m_columns.size()); }
    void setGridColumnCount(int columns);
    // Leading columns drawn like the header row (the console's machine labels).
    void setFixedColumns(int columns);
    int fixedColumns() const { return m_fixedColumns; }

    // Cells.
    bool setCell(int row, int column, int kind, const QVariant& value);
    bool setCell(int row, int column, const QString& text);
    bool setCell(int row, int column, int value);
    bool setCell(int row, int column, float value);
    bool setCell(int row, int column, double value);
    QString getCell(int row, int column) const;
    bool cellChecked(int row, int column) const;
    QVariant cellPicture(int row, int column) const;
    void clearCells(int row1, int column1, int row2, int column2);
    // Grows whenever a text of the row changes (or the grid is reshaped): equal numbers mean
    // the row reads as it did.
    quint64 rowRevision(int row) const { return row >= 0 && row < m_rowRevisions.size() ? m_rowRevisions[row] : 0; }
    // A text the grid held before, put back unchecked where its row has moved to.
    void putBack(int row, int column, const QString& text);

    void setReadOnly(int row1, int column1, int row2, int column2, bool readOnly);
    bool isReadOnly(int row, int column) const;
    void setCellColour(int row1, int column1, int row2, int column2, const QColor& colour);
    QColor cellColour(int row, int column) const;
    void setAlternateRowColours(int mode, const QColor& a, const QColor& b);
    QColor cellBackground(int row, int column) const;
    // A row's own background, over the alternating colours; an invalid colour gives it back.
    void setRowBackground(int row, const QColor& colour);
    // A longer word on a cell for its tooltip and a screen reader's description.
    void setCellDescription(int row, int column, const QString& text);
    QString cellDescription(int row, int column) const;
    // A cell whose figure is worked out elsewhere: the column's formula leaves it alone, and it
    // keeps `decimals` of its own (-1 and false give it back to the column).
    void setOwnFigure(int row, int column, bool own, int decimals = -1);
    void setAlignment(int row1, int column1, int row2, int column2, Align align);
    Align cellAlignment(int row, int column) const;

    // Columns.
    bool setColumnType(int column, ColumnType type);
    ColumnType columnType(int column) const;
    bool isNumericColumn(int column) const;
    void setColumnWidth(int column, int pixels);
    int columnWidth(int column) const;
    bool setDecimals(int column, int decimals);
    int decimals(int column) const;
    void setFormula(int operandA, int operandB, Operation operation, int target);
    bool setColumnSum(int column, int firstRow, int lastRow, int targetRow);
    void removeColumnSums(int column);
    void clearItemList();
    bool addItem(int column, const QString& text);
    QStringList items(int column) const;

    void setShowZero(bool on) { m_showZero = on; }
    bool showZero() const { return m_showZero; }

    // Cursor.
    void setCurrentCell(int row, int column);
    int getCurrentRow() const { return m_currentRow; }
    int getCurrentColumn() const { return m_currentColumn; }

    // The operator's side: a committed edit is stored without the set-cell refusal.
    void commitEdit(int row, int column, const QString& text);
    void chooseItem(int row, int column, const QString& text);
    // The next pick raises list item chosen even for the text picked last, as after a pick whose
    // handling failed.
    void forgetChoice() { m_chosenRow = -1; m_chosenColumn = -1; m_chosenText.clear(); }
    // A drop-down pick: stored, announced as chosen, then as one changed cell, so that a
    // handler of the change sees what the handler of the choice has written.
    void commitChoice(int row, int column, const QString& text);

    // Screen text of a cell: money shows its sign, the stored text stays bare.
    QString displayText(int row, int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void currentCellChanged(int row, int column);
    void cellChanged();
    // The operator's edit of one cell, stored; raised just before cellChanged.
    void cellEdited(int row, int column);
    void listItemChosen(int row, int column, const QString& text);
    void columnWidthChanged(int column, int pixels);

private:
    // What few cells have is kept apart: a grid of hundreds of rows then stays a few dozen bytes
    // a cell, which is memory the program touches, and waits for, at start.
    struct CellExtra : QSharedData {
        QVariant picture;
        QColor colour;
        QString description;
    };
    struct Cell {
        QString text;
        QSharedDataPointer<CellExtra> extra;
        Align align = AlignDefault;
        bool checked = false;
        bool readOnly = false;
        bool ownFigure = false;
        signed char decimals = -1; // the column's
        CellExtra& extras()
        {
            if (!extra)
                extra = new CellExtra;
            return *extra;
        }
        const CellExtra& extras() const
        {
            static const CellExtra none;
            return extra ? *extra : none;
        }
    };
    struct Column {
        ColumnType type = TextColumn;
        int width = 64;
        int decimals = 0;
        QStringList items;
    };
    struct Formula {
        int a = 0, b = 0;
        Operation operation = Add;
    };
    struct ColumnSum {
        int column = 0, first = 0, last = 0, target = 0;
        // The range's total as the last full pass left it, with the last row holding a non-zero
        // number: a value stored below that row only adds to the total, so filling a long
        // column row by row stays linear and gives exactly the total of a full pass.
        bool totalKnown = false;
        double total = 0.0;
        int lastValued = -1;
    };

    bool inside(int row, int column) const;
    bool clampRect(int& row1, int& column1, int& row2, int& column2) const;
    void store(int row, int column, const QString& text, int depth);
    void recomputeFormula(int row, int target, const Formula& f, int depth);
    void recomputeSum(int sumIndex, int depth);
    void noteValueChange(int row, int column, const QString& before, const QString& after);
    void forgetSumTotals();
    void cellUpdated(int row, int column);
    void touchAllRows();
    void touchRow(int row);

    QVector<QVector<Cell>> m_cells;
    QVector<quint64> m_rowRevisions; // by row, numbered across all grids: no two rows ever share one
    QVector<Column> m_columns;
    std::map<int, Formula> m_formulas; // by target column
    QVector<ColumnSum> m_sums;
    bool m_showZero = false;
    int m_fixedColumns = 0;
    int m_altMode = 0;
    QColor m_altA, m_altB;
    QVector<QColor> m_rowBackgrounds; // by row; shorter than the grid where none is set
    int m_currentRow = -1;
    int m_currentColumn = -1;
    int m_chainBudget = 0;
    int m_chosenRow = -1, m_chosenColumn = -1;
    QString m_chosenText;
};

// What a key typed into a number or money cell does.
enum class KeyVerdict { Accept, Ignore, Refuse };
KeyVerdict numericKeyVerdict(const QString& text, int cursor, QChar typed);

// Text of a number printed with n decimals, as printf's %.nf.
QString fixedText(double value, int decimals);
