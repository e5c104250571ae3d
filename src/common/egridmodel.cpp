#include "egridmodel.h"

#include "values.h"

#include <QFont>

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {

// Formulas and sums may name each other in a ring; a chain this deep or this long is a ring,
// not a sheet, and stops.
constexpr int kMaxChain = 64;
constexpr int kMaxStoresPerChange = 100000;

const QColor kHeaderBackground(0xE8, 0xE8, 0xE8);

} // namespace

QString fixedText(double value, int decimals)
{
    if (value == 0.0)
        value = 0.0; // never print a negative zero
    return formatFixed(value, std::clamp(decimals, 0, 9));
}

KeyVerdict numericKeyVerdict(const QString& text, int cursor, QChar typed)
{
    const char16_t c = typed.unicode();
    if (c < 0x20 || c == 0x7F)
        return KeyVerdict::Accept;
    const bool hasMinus = text.startsWith(u'-');
    if (hasMinus && cursor == 0)
        return KeyVerdict::Refuse;
    if (c >= '0' && c <= '9')
        return KeyVerdict::Accept;
    if (c == '.')
        return text.contains(u'.') ? KeyVerdict::Ignore : KeyVerdict::Accept;
    if (c == '-')
        return (cursor == 0 && !hasMinus) ? KeyVerdict::Accept : KeyVerdict::Refuse;
    return KeyVerdict::Refuse;
}

EGridModel::EGridModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void EGridModel::setGridRowCount(int rows)
{
    rows = std::max(0, rows);
    forgetSumTotals();
    beginResetModel();
    m_cells.resize(rows);
    for (auto& row : m_cells)
        row.resize(m_columns.size());
    touchAllRows();
    if (m_rowBackgrounds.size() > rows)
        m_rowBackgrounds.resize(rows);
    if (m_currentRow >= rows) {
        m_currentRow = -1;
        m_currentColumn = -1;
    }
    // A line added again starts without a pick: choosing the same text there is news.
    if (m_chosenRow >= rows) {
        m_chosenRow = -1;
        m_chosenColumn = -1;
        m_chosenText.clear();
    }
    endResetModel();
}

void EGridModel::setGridColumnCount(int columns)
{
    columns = std::max(0, columns);
    forgetSumTotals();
    beginResetModel();
    m_columns.resize(columns);
    for (auto& row : m_cells)
        row.resize(columns);
    touchAllRows();
    m_formulas.erase(m_formulas.lower_bound(columns), m_formulas.end());
    for (auto it = m_formulas.begin(); it != m_formulas.end();) {
        if (it->second.a >= columns || it->second.b >= columns)
            it = m_formulas.erase(it);
        else
            ++it;
    }
    m_sums.erase(std::remove_if(m_sums.begin(), m_sums.end(),
                     [columns](const ColumnSum& s) { return s.column >= columns; }),
        m_sums.end());
    if (m_currentColumn >= columns) {
        m_currentRow = -1;
        m_currentColumn = -1;
    }
    endResetModel();
}

void EGridModel::setFixedColumns(int columns)
{
    m_fixedColumns = std::max(0, columns);
    if (!m_cells.isEmpty() && !m_columns.isEmpty())
        emit dataChanged(index(0, 0), index(gridRowCount() - 1, gridColumnCount() - 1));
}

bool EGridModel::inside(int row, int column) const
{
    return row >= 0 && column >= 0 && row < gridRowCount() && column < gridColumnCount();
}

bool EGridModel::clampRect(int& row1, int& column1, int& row2, int& column2) const
{
    row2 = std::min(row2, gridRowCount() - 1);
    column2 = std::min(column2, gridColumnCount() - 1);
    row1 = std::max(row1, 0);
    column1 = std::max(column1, 0);
    return row1 <= row2 && column1 <= column2;
}

void EGridModel::touchAllRows()
{
    m_rowRevisions.resize(m_cells.size());
    for (int r = 0; r < m_rowRevisions.size(); ++r)
        touchRow(r);
}

void EGridModel::touchRow(int row)
{
    static std::atomic<quint64> lastRevision { 0 };
    m_rowRevisions[row] = ++lastRevision;
}

void EGridModel::cellUpdated(int row, int column)
{
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i);
}

bool EGridModel::setCell(int row, int column, int kind, const QVariant& value)
{
    if (!inside(row, column))
        return false;
    switch (kind) {
    case Content:
        switch (value.typeId()) {
        case QMetaType::Int:
            return setCell(row, column, value.toInt());
        case QMetaType::Float:
            return setCell(row, column, value.toFloat());
        case QMetaType::Double:
            return setCell(row, column, value.toDouble());
        default:
            return setCell(row, column, value.toString());
        }
    case CheckState:
        m_cells[row][column].checked = value.toBool();
        cellUpdated(row, column);
        return true;
    case Picture:
        m_cells[row][column].extras().picture = value;
        cellUpdated(row, column);
        return true;
    default:
        return false;
    }
}

bool EGridModel::setCell(int row, int column, const QString& text)
{
    if (!inside(row, column))
        return false;
    if (row >= 1 && isNumericColumn(column) && !text.isEmpty() && text != u"0") {
        // An infinite number would show as "inf" and read back as 0: refused like letters.
        const double v = leadingNumber(text);
        if (v == 0.0 || !std::isfinite(v))
            return false;
    }
    store(row, column, text, 0);
    return true;
}

bool EGridModel::setCell(int row, int column, int value) { return setCell(row, column, toText(value)); }

bool EGridModel::setCell(int row, int column, float value)
{
    return setCell(row, column, formatGeneral(double(value), 6));
}

bool EGridModel::setCell(int row, int column, double value) { return setCell(row, column, toText(value)); }

QString EGridModel::getCell(int row, int column) const
{
    return inside(row, column) ? m_cells[row][column].text : QString();
}

bool EGridModel::cellChecked(int row, int column) const
{
    return inside(row, column) && m_cells[row][column].checked;
}

QVariant EGridModel::cellPicture(int row, int column) const
{
    return inside(row, column) ? m_cells[row][column].extras().picture : QVariant();
}

void EGridModel::store(int row, int column, const QString& text, int depth)
{
    if (depth == 0)
        m_chainBudget = kMaxStoresPerChange;
    if (!inside(row, column) || depth > kMaxChain || --m_chainBudget < 0)
        return;
    QString stored = text;
    if (row >= 1 && isNumericColumn(column)) {
        double v = leadingNumber(text);
        if (!std::isfinite(v))
            v = 0.0; // counts as a text that is no number
        const int places = m_cells[row][column].decimals >= 0 ? m_cells[row][column].decimals : m_columns[column].decimals;
        stored = (v == 0.0 && !m_showZero) ? QString() : fixedText(v, places);
    }
    Cell& cell = m_cells[row][column];
    if (cell.text != stored) {
        noteValueChange(row, column, cell.text, stored);
        cell.text = stored;
        touchRow(row);
        cellUpdated(row, column);
    }
    if (row >= 1) {
        for (const auto& [target, f] : m_formulas) {
            if ((f.a == column || f.b == column) && inside(row, target) && !m_cells[row][target].ownFigure)
                recomputeFormula(row, target, f, depth + 1);
        }
    }
    // By position: a handler of the change signals may add or remove sums meanwhile.
    for (int i = 0; i < m_sums.size(); ++i) {
        const ColumnSum& s = m_sums[i];
        if (s.column == column && row >= s.first && row <= s.last)
            recomputeSum(i, depth + 1);
    }
}

void EGridModel::noteValueChange(int row, int column, const QString& before, const QString& after)
{
    for (ColumnSum& s : m_sums) {
        if (s.column != column || row < s.first || row > s.last || !s.totalKnown)
            continue;
        const double was = leadingNumber(before);
        const double is = leadingNumber(after);
        if (was == is)
            continue;
        // Adding after the last value is what a full pass would do; anything else could round
        // differently, so the next recomputation makes a full pass.
        if (was == 0.0 && row > s.lastValued) {
            s.total += is;
            s.lastValued = row;
        } else {
            s.totalKnown = false;
        }
    }
}

void EGridModel::forgetSumTotals()
{
    for (ColumnSum& s : m_sums)
        s.totalKnown = false;
}

void EGridModel::recomputeFormula(int row, int target, const Formula& f, int depth)
{
    const QString ta = getCell(row, f.a);
    const QString tb = getCell(row, f.b);
    if (ta.isEmpty() && tb.isEmpty()) {
        store(row, target, QString(), depth);
        return;
    }
    const double a = leadingNumber(ta);
    const double b = leadingNumber(tb);
    double r = 0.0;
    switch (f.operation) {
    case Add:
        r = a + b;
        break;
    case Subtract:
        r = a - b;
        break;
    case Multiply:
        r = a * b;
        break;
    case Divide:
        r = b == 0.0 ? 0.0 : a / b;
        break;
    default:
        break;
    }
    store(row, target, fixedText(r, decimals(target)), depth);
}

void EGridModel::recomputeSum(int sumIndex, int depth)
{
    ColumnSum& s = m_sums[sumIndex];
    if (!s.totalKnown) {
        s.total = 0.0;
        s.lastValued = -1;
        for (int r = s.first; r <= s.last && r < gridRowCount(); ++r) {
            const double v = leadingNumber(getCell(r, s.column));
            s.total += v;
            if (v != 0.0)
                s.lastValued = r;
        }
        s.totalKnown = true;
    }
    const int target = s.target;
    const int column = s.column;
    store(target, column, fixedText(s.total, decimals(column)), depth);
}

void EGridModel::putBack(int row, int column, const QString& text)
{
    if (!inside(row, column))
        return;
    store(row, column, text, 0);
}

void EGridModel::clearCells(int row1, int column1, int row2, int column2)
{
    if (!clampRect(row1, column1, row2, column2))
        return;
    for (int r = row1; r <= row2; ++r) {
        for (int c = column1; c <= column2; ++c) {
            Cell& cell = m_cells[r][c];
            cell.checked = false;
            if (cell.extra)
                cell.extra->picture = QVariant();
            store(r, c, QString(), 0);
            cellUpdated(r, c);
        }
    }
}

void EGridModel::setReadOnly(int row1, int column1, int row2, int column2, bool readOnly)
{
    if (!clampRect(row1, column1, row2, column2))
        return;
    for (int r = row1; r <= row2; ++r)
        for (int c = column1; c <= column2; ++c)
            m_cells[r][c].readOnly = readOnly;
    emit dataChanged(index(row1, column1), index(row2, column2));
}

bool EGridModel::isReadOnly(int row, int column) const
{
    return inside(row, column) && m_cells[row][column].readOnly;
}

void EGridModel::setCellColour(int row1, int column1, int row2, int column2, const QColor& colour)
{
    if (!clampRect(row1, column1, row2, column2))
        return;
    for (int r = row1; r <= row2; ++r)
        for (int c = column1; c <= column2; ++c) {
            Cell& cell = m_cells[r][c];
            if (colour.isValid() || cell.extra)
                cell.extras().colour = colour;
        }
    emit dataChanged(index(row1, column1), index(row2, column2));
}

QColor EGridModel::cellColour(int row, int column) const
{
    return inside(row, column) ? m_cells[row][column].extras().colour : QColor();
}

void EGridModel::setAlternateRowColours(int mode, const QColor& a, const QColor& b)
{
    m_altMode = mode == 1 ? 1 : 2;
    m_altA = a;
    m_altB = b;
    if (gridRowCount() > 0 && gridColumnCount() > 0)
        emit dataChanged(index(0, 0), index(gridRowCount() - 1, gridColumnCount() - 1));
}

QColor EGridModel::cellBackground(int row, int column) const
{
    if (!inside(row, column))
        return QColor();
    if (row == 0 || column < m_fixedColumns)
        return kHeaderBackground;
    if (row < m_rowBackgrounds.size() && m_rowBackgrounds[row].isValid())
        return m_rowBackgrounds[row];
    if (m_altMode == 1)
        return row % 2 == 1 ? m_altA : m_altB;
    if (m_altMode == 2)
        return column % 2 == 1 ? m_altA : m_altB;
    return QColor();
}

void EGridModel::setRowBackground(int row, const QColor& colour)
{
    if (!inside(row, 0))
        return;
    if (row >= m_rowBackgrounds.size()) {
        if (!colour.isValid())
            return;
        m_rowBackgrounds.resize(row + 1);
    }
    if (m_rowBackgrounds[row] == colour)
        return;
    m_rowBackgrounds[row] = colour;
    emit dataChanged(index(row, 0), index(row, gridColumnCount() - 1), { Qt::BackgroundRole });
}

void EGridModel::setCellDescription(int row, int column, const QString& text)
{
    if (!inside(row, column) || cellDescription(row, column) == text)
        return;
    m_cells[row][column].extras().description = text;
    emit dataChanged(index(row, column), index(row, column), { Qt::ToolTipRole });
}

QString EGridModel::cellDescription(int row, int column) const
{
    return inside(row, column) ? m_cells[row][column].extras().description : QString();
}

void EGridModel::setOwnFigure(int row, int column, bool own, int decimals)
{
    if (!inside(row, column))
        return;
    m_cells[row][column].ownFigure = own;
    m_cells[row][column].decimals = static_cast<signed char>(std::clamp(decimals, -1, 10));
}

void EGridModel::setAlignment(int row1, int column1, int row2, int column2, Align align)
{
    if (!clampRect(row1, column1, row2, column2))
        return;
    for (int r = row1; r <= row2; ++r)
        for (int c = column1; c <= column2; ++c)
            m_cells[r][c].align = align;
    emit dataChanged(index(row1, column1), index(row2, column2));
}

EGridModel::Align EGridModel::cellAlignment(int row, int column) const
{
    return inside(row, column) ? m_cells[row][column].align : AlignDefault;
}

bool EGridModel::setColumnType(int column, ColumnType type)
{
    if (column < 0 || column >= gridColumnCount() || type < TextColumn || type > PickColumn)
        return false;
    const bool wasNumeric = isNumericColumn(column);
    Column& col = m_columns[column];
    col.type = type;
    if (!(wasNumeric && isNumericColumn(column)))
        col.decimals = 0;
    return true;
}

EGridModel::ColumnType EGridModel::columnType(int column) const
{
    return column >= 0 && column < gridColumnCount() ? m_columns[column].type : TextColumn;
}

bool EGridModel::isNumericColumn(int column) const
{
    const int t = columnType(column);
    return t == NumberColumn || t == MoneyColumn;
}

void EGridModel::setColumnWidth(int column, int pixels)
{
    if (column < 0 || column >= gridColumnCount())
        return;
    m_columns[column].width = std::max(0, pixels);
    emit columnWidthChanged(column, m_columns[column].width);
}

int EGridModel::columnWidth(int column) const
{
    return column >= 0 && column < gridColumnCount() ? m_columns[column].width : 0;
}

bool EGridModel::setDecimals(int column, int n)
{
    if (column < 0 || column >= gridColumnCount() || n < 0 || n > 9)
        return false;
    m_columns[column].decimals = n;
    if (isNumericColumn(column)) {
        forgetSumTotals(); // the re-printed texts may round to other numbers
        for (int r = 1; r < gridRowCount(); ++r) {
            Cell& cell = m_cells[r][column];
            if (!cell.text.isEmpty()) {
                cell.text = fixedText(leadingNumber(cell.text), n);
                touchRow(r);
                cellUpdated(r, column);
            }
        }
    }
    return true;
}

int EGridModel::decimals(int column) const
{
    return column >= 0 && column < gridColumnCount() ? m_columns[column].decimals : 0;
}

void EGridModel::setFormula(int operandA, int operandB, Operation operation, int target)
{
    if (target < 0 || target >= gridColumnCount() || operandA < 0 || operandA >= gridColumnCount()
        || operandB < 0 || operandB >= gridColumnCount())
        return;
    m_formulas[target] = Formula { operandA, operandB, operation };
}

bool EGridModel::setColumnSum(int column, int firstRow, int lastRow, int targetRow)
{
    const int rows = gridRowCount();
    if (!isNumericColumn(column) || firstRow < 0 || firstRow > lastRow || lastRow >= rows || targetRow < 0
        || targetRow >= rows || (targetRow >= firstRow && targetRow <= lastRow))
        return false;
    const ColumnSum sum { column, firstRow, lastRow, targetRow };
    auto same = std::find_if(m_sums.begin(), m_sums.end(),
        [&](const ColumnSum& s) { return s.column == column && s.target == targetRow; });
    if (same != m_sums.end())
        *same = sum;
    else
        m_sums.append(sum);
    return true;
}

void EGridModel::removeColumnSums(int column)
{
    if (column == -1) {
        m_sums.clear();
        return;
    }
    m_sums.erase(std::remove_if(m_sums.begin(), m_sums.end(),
                     [column](const ColumnSum& s) { return s.column == column; }),
        m_sums.end());
}

void EGridModel::clearItemList()
{
    for (Column& c : m_columns)
        c.items.clear();
}

bool EGridModel::addItem(int column, const QString& text)
{
    const int t = columnType(column);
    if (t != DropDownColumn && t != PickColumn)
        return false;
    m_columns[column].items.append(text);
    return true;
}

QStringList EGridModel::items(int column) const
{
    return column >= 0 && column < gridColumnCount() ? m_columns[column].items : QStringList();
}

void EGridModel::setCurrentCell(int row, int column)
{
    if (!inside(row, column))
        return;
    m_currentRow = row;
    m_currentColumn = column;
    emit currentCellChanged(row, column);
}

void EGridModel::commitEdit(int row, int column, const QString& text)
{
    if (!inside(row, column))
        return;
    store(row, column, text, 0);
    emit cellEdited(row, column);
    emit cellChanged();
}

void EGridModel::commitChoice(int row, int column, const QString& text)
{
    if (!inside(row, column))
        return;
    store(row, column, text, 0);
    chooseItem(row, column, text);
    emit cellChanged();
}

void EGridModel::chooseItem(int row, int column, const QString& text)
{
    if (row == m_chosenRow && column == m_chosenColumn && text == m_chosenText)
        return;
    m_chosenRow = row;
    m_chosenColumn = column;
    m_chosenText = text;
    emit listItemChosen(row, column, text);
}

QString EGridModel::displayText(int row, int column) const
{
    const QString text = getCell(row, column);
    if (row >= 1 && columnType(column) == MoneyColumn && !text.isEmpty())
        return QStringLiteral("￥") + text;
    if (row >= 1 && columnType(column) == DateColumn && !text.isEmpty()) {
        bool isNumber = false;
        const double days = text.toDouble(&isNumber);
        if (isNumber) {
            const DateParts p = splitDate(DateTime(days));
            return QString::asprintf("%04d-%02d-%02d", p.year, p.month, p.day);
        }
    }
    return text;
}

int EGridModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : gridRowCount(); }

int EGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : gridColumnCount();
}

QVariant EGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !inside(index.row(), index.column()))
        return QVariant();
    const int r = index.row();
    const int c = index.column();
    const Cell& cell = m_cells[r][c];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return displayText(r, c);
    case Qt::EditRole:
        return cell.text;
    case Qt::CheckStateRole:
        if (r >= 1 && columnType(c) == CheckColumn)
            return cell.checked ? Qt::Checked : Qt::Unchecked;
        return QVariant();
    case Qt::DecorationRole:
        return cell.extras().picture;
    case Qt::TextAlignmentRole: {
        const Qt::Alignment h = cell.align == AlignCentre ? Qt::AlignHCenter
            : cell.align == AlignRight                    ? Qt::AlignRight
                                                          : Qt::AlignLeft;
        return QVariant::fromValue(h | Qt::AlignVCenter);
    }
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        return cell.extras().description.isEmpty() ? QVariant() : QVariant(cell.extras().description);
    case Qt::ForegroundRole:
        return cell.extras().colour.isValid() ? QVariant(cell.extras().colour) : QVariant();
    case Qt::BackgroundRole: {
        const QColor bg = cellBackground(r, c);
        return bg.isValid() ? QVariant(bg) : QVariant();
    }
    case Qt::FontRole:
        if (r == 0) {
            QFont f;
            f.setBold(true);
            return f;
        }
        return QVariant();
    default:
        return QVariant();
    }
}

bool EGridModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || !(flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)))
        return false;
    if (role == Qt::EditRole) {
        commitEdit(index.row(), index.column(), value.toString());
        return true;
    }
    if (role == Qt::CheckStateRole) {
        m_cells[index.row()][index.column()].checked = value.toInt() == Qt::Checked;
        cellUpdated(index.row(), index.column());
        emit cellChanged();
        return true;
    }
    return false;
}

Qt::ItemFlags EGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const int r = index.row();
    const int c = index.column();
    if (r >= 1 && !isReadOnly(r, c)) {
        if (columnType(c) == CheckColumn)
            f |= Qt::ItemIsUserCheckable;
        else
            f |= Qt::ItemIsEditable;
    }
    return f;
}
