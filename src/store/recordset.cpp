#include "recordset.h"

#include "common/seams.h"
#include "database.h"
#include "sqltext.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>

namespace {

// "select * from T …" with the row's number first, by which an edited row is found again. A
// server's table keeps it as a column of its own, so there the columns are named instead of *;
// and a server gives rows in no order of its own, so there they come in the order they were
// added, as a file gives them.
QString withRowNumber(const Database& db, const QString& table, QString statement)
{
    QString columns = QStringLiteral("*");
    if (db.engine() == Database::Engine::PostgreSQL) {
        QStringList names;
        for (const auto& [name, decl] : db.columnTypes(table))
            names << quoteName(name);
        if (!names.isEmpty())
            columns = names.join(QStringLiteral(", "));
        static const QRegularExpression ordered(QStringLiteral(R"(\border\s+by\b)"), QRegularExpression::CaseInsensitiveOption);
        if (!statement.contains(ordered))
            statement += QStringLiteral(" order by rowid");
    }
    return statement.replace(statement.indexOf(u'*'), 1, QStringLiteral("rowid as __rowid__, ") + columns);
}

} // namespace

RecordSet::RecordSet(QObject* parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("记录集1"));
}

void RecordSet::fail(const QString& text)
{
    if (m_db)
        m_db->forgetShapes();
    m_lastError = text;
    messageBox(text, 0, QStringLiteral("错误"));
}

bool RecordSet::usable()
{
    if (m_db && m_db->ensureOpen())
        return true;
    const QString why = m_db ? m_db->lastError() : QString();
    fail(why.isEmpty() ? QStringLiteral("数据库未打开。") : why);
    return false;
}

bool RecordSet::openTable(const QString& table)
{
    closeSet();
    if (!usable())
        return false;
    if (!m_db->isTable(table)) // a view, or a name the engine will refuse with its own words
        return open(QStringLiteral("select * from %1").arg(quoteName(table)), table, false);
    // A table's columns come from the schema; its rows wait until something needs them.
    const QVector<QPair<QString, QString>> decls = m_db->columnTypes(table);
    if (decls.isEmpty())
        return open(withRowNumber(*m_db, table, QStringLiteral("select * from ") + quoteName(table)), table, true);
    m_columns.clear();
    for (const auto& [name, decl] : decls)
        m_columns.append(Column { name, kindOfDecl(decl) });
    m_open = true;
    m_table = table;
    m_loaded = false;
    m_currentId = -1;
    m_pos = 0;
    m_pendingNew = false;
    m_dirty.fill(false, m_columns.size());
    m_lastError.clear();
    return true;
}

bool RecordSet::load() const
{
    if (m_loaded)
        return true;
    m_loaded = true;
    m_rows.clear();
    m_rowIds.clear();
    if (!m_db || !m_db->isOpen())
        return false;
    QSqlQuery q(m_db->connection());
    q.setForwardOnly(true);
    if (!q.exec(withRowNumber(*m_db, m_table, QStringLiteral("select * from ") + quoteName(m_table))))
        return false;
    const int fields = q.record().count();
    while (q.next()) {
        QVector<QVariant> row;
        row.reserve(fields - 1);
        for (int i = 1; i < fields; ++i)
            row.append(q.value(i));
        m_rows.append(row);
        m_rowIds.append(q.value(0).toLongLong());
    }
    m_pos = 0;
    if (m_currentId >= 0) {
        const qsizetype at = m_rowIds.indexOf(m_currentId);
        m_pos = at >= 0 ? int(at) : int(m_rows.size());
    }
    return true;
}

bool RecordSet::openQuery(const QString& statement)
{
    closeSet();
    QString sql = translateStatement(statement);
    // "select * from T [where …]" shows the rows of one table and may be edited through.
    static const QRegularExpression oneTable(QStringLiteral(R"(^\s*select\s+\*\s+from\s+([^\s,()'"]+)(\s+where\s.*)?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = oneTable.match(sql);
    QString table;
    bool updatable = false;
    if (m.hasMatch() && m_db && m_db->isTable(m.captured(1))) {
        table = m.captured(1);
        updatable = true;
        sql = withRowNumber(*m_db, table, sql);
    } else {
        static const QRegularExpression firstTable(QStringLiteral(R"(\bfrom\s+\(*\s*([^\s,()'"]+))"),
            QRegularExpression::CaseInsensitiveOption);
        table = firstTable.match(sql).captured(1);
    }
    return open(sql, table, updatable);
}

bool RecordSet::open(const QString& statement, const QString& table, bool updatable)
{
    if (!usable())
        return false;
    // Declared types come from the schema: the set's own table first, then any table the
    // statement names, for the columns of a join. Read before the rows: a server's connection
    // runs one statement at a time while rows are fetched.
    QVector<QPair<QString, QString>> decls = m_db->columnTypes(table);
    static const QRegularExpression named(QStringLiteral(R"(\b(?:from|join)\s+\(*\s*([^\s,()'"]+))"),
        QRegularExpression::CaseInsensitiveOption);
    for (auto it = named.globalMatch(statement); it.hasNext();) {
        const QString other = it.next().captured(1);
        if (other.compare(table, Qt::CaseInsensitive) != 0)
            decls += m_db->columnTypes(other);
    }
    QSqlQuery q(m_db->connection());
    q.setForwardOnly(true);
    if (!q.exec(statement)) {
        fail(errorText(q.lastError()));
        return false;
    }
    const QSqlRecord rec = q.record();
    const int first = updatable ? 1 : 0;

    m_columns.clear();
    for (int i = first; i < rec.count(); ++i) {
        Column c;
        c.name = rec.fieldName(i);
        for (const auto& [name, decl] : decls) {
            if (name.compare(c.name, Qt::CaseInsensitive) == 0) {
                c.kind = kindOfDecl(decl);
                break;
            }
        }
        m_columns.append(c);
    }
    m_rows.clear();
    m_rowIds.clear();
    while (q.next()) {
        QVector<QVariant> row;
        row.reserve(m_columns.size());
        for (int i = first; i < rec.count(); ++i)
            row.append(q.value(i));
        m_rows.append(row);
        if (updatable)
            m_rowIds.append(q.value(0).toLongLong());
    }
    if (q.lastError().isValid()) {
        fail(errorText(q.lastError()));
        m_columns.clear();
        m_rows.clear();
        m_rowIds.clear();
        return false;
    }
    m_open = true;
    m_loaded = true;
    m_table = updatable ? table : QString();
    m_pos = 0;
    m_pendingNew = false;
    m_dirty.fill(false, m_columns.size());
    m_lastError.clear();
    return true;
}

bool RecordSet::closeSet()
{
    const bool wasOpen = m_open;
    m_open = false;
    m_loaded = true;
    m_currentId = -1;
    m_table.clear();
    m_columns.clear();
    m_rows.clear();
    m_rowIds.clear();
    m_pos = 0;
    m_pendingNew = false;
    m_buffer.clear();
    m_dirty.clear();
    return wasOpen;
}

int RecordSet::recordCount() const { return m_open && load() ? int(m_rows.size()) : -1; }

bool RecordSet::atEnd() const { return !m_open || (!m_pendingNew && (!load() || m_pos >= m_rows.size())); }

bool RecordSet::moveNext()
{
    if (!m_open)
        return false;
    // Moving off an edited record stores it, as an optimistic set does.
    if (m_pendingNew || m_dirty.contains(true))
        saveRecord();
    m_pendingNew = false;
    m_dirty.fill(false);
    if (!load() || m_pos >= m_rows.size())
        return false;
    ++m_pos;
    return m_pos < m_rows.size();
}

bool RecordSet::addRecord()
{
    if (!m_open || m_table.isEmpty())
        return false;
    if ((m_pendingNew || m_dirty.contains(true)) && !saveRecord())
        return false;
    m_pendingNew = true;
    m_buffer = QVector<QVariant>(m_columns.size());
    m_dirty.fill(false, m_columns.size());
    if (m_loaded)
        m_pos = int(m_rows.size());
    return true;
}

bool RecordSet::saveRecord()
{
    if (!m_open || m_table.isEmpty() || !m_db || !m_db->isOpen())
        return false;
    QStringList names;
    QVariantList values;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_dirty.value(i)) {
            names.append(quoteName(m_columns[i].name));
            values.append(m_buffer[i]);
        }
    }
    QSqlQuery q(m_db->connection());
    // A server gives the new row's number only when asked for it.
    const bool returning = m_db->engine() == Database::Engine::PostgreSQL;
    if (m_pendingNew) {
        QStringList marks;
        for (int i = 0; i < names.size(); ++i)
            marks.append(QStringLiteral("?"));
        q.prepare((names.isEmpty() ? QStringLiteral("insert into %1 default values").arg(quoteName(m_table))
                                   : QStringLiteral("insert into %1 (%2) values (%3)")
                                         .arg(quoteName(m_table), names.join(u','), marks.join(u',')))
            + (returning ? QStringLiteral(" returning rowid") : QString()));
    } else {
        if (!load())
            return false;
        if (names.isEmpty())
            return m_pos < m_rows.size();
        QStringList sets;
        for (const QString& n : names)
            sets.append(n + QStringLiteral("=?"));
        q.prepare(QStringLiteral("update %1 set %2 where rowid=?").arg(quoteName(m_table), sets.join(u',')));
        values.append(m_rowIds.value(m_pos));
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec() || (m_pendingNew && returning && !q.next())) {
        m_db->forgetShapes();
        m_lastError = errorText(q.lastError());
        return false;
    }
    const qint64 newId = !m_pendingNew ? -1 : returning ? q.value(0).toLongLong() : q.lastInsertId().toLongLong();
    if (m_pendingNew && !m_loaded) {
        m_currentId = newId; // found among the rows once they are fetched
        m_pendingNew = false;
    } else if (m_pendingNew) {
        m_rows.append(m_buffer);
        m_rowIds.append(newId);
        m_pos = int(m_rows.size()) - 1;
        m_pendingNew = false;
    } else {
        for (int i = 0; i < m_columns.size(); ++i) {
            if (m_dirty[i])
                m_rows[m_pos][i] = m_buffer[i];
        }
    }
    m_dirty.fill(false);
    return true;
}

int RecordSet::column(const Field& field) const
{
    if (!m_open)
        return -1;
    if (field.index >= 0)
        return field.index < m_columns.size() ? field.index : -1;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].name.compare(field.name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool RecordSet::current(int column, QVariant& value) const
{
    if (column < 0)
        return false;
    if (m_pendingNew || m_dirty.value(column)) {
        value = m_buffer.value(column);
        return true;
    }
    if (!load() || m_pos < 0 || m_pos >= m_rows.size())
        return false;
    value = m_rows[m_pos][column];
    return true;
}

RecordSet::Kind RecordSet::kindOf(int column, const QVariant& value) const
{
    const Kind declared = m_columns[column].kind;
    if (declared != Kind::Unknown)
        return declared;
    // A computed column (a sum, say) has no declared type: its stored value tells.
    switch (value.typeId()) {
    case QMetaType::QString:
        return Kind::Text;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return Kind::Double;
    default:
        return Kind::Unknown;
    }
}

bool RecordSet::readText(const Field& field, QString& value)
{
    QVariant v;
    if (!current(column(field), v)) {
        value.clear();
        return false;
    }
    if (v.isNull()) {
        value.clear();
        return true;
    }
    switch (kindOf(column(field), v)) {
    case Kind::Integer:
        value = QString::number(v.toLongLong());
        break;
    case Kind::Single:
        value = toText(v.toFloat());
        break;
    case Kind::Double:
    case Kind::Currency:
        value = v.typeId() == QMetaType::QString ? v.toString() : toText(v.toDouble());
        break;
    case Kind::DateTime: {
        bool ok = false;
        const DateTime d = parseStoredDate(v.toString(), &ok);
        value = ok ? (std::fmod(d.days, 1.0) == 0.0 ? sqlDate(d) : sqlDate(d) + u' ' + timeToText(d, 3)) : v.toString();
        break;
    }
    default:
        value = v.toString();
    }
    return true;
}

bool RecordSet::readNumber(const Field& field, double& value)
{
    QVariant v;
    const int c = column(field);
    if (!current(c, v))
        return false;
    if (v.isNull()) {
        value = 0.0;
        return true;
    }
    if (!isNumericKind(kindOf(c, v)))
        return false;
    value = v.toDouble();
    return true;
}

bool RecordSet::readSingle(const Field& field, float& value)
{
    QVariant v;
    const int c = column(field);
    if (!current(c, v)) {
        value = 0.0f;
        return false;
    }
    if (v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty())) {
        value = 0.0f;
        return true;
    }
    if (kindOf(c, v) != Kind::Single) {
        value = 0.0f;
        return false;
    }
    value = v.toFloat();
    return true;
}

bool RecordSet::readInteger(const Field& field, int& value)
{
    QVariant v;
    const int c = column(field);
    if (!current(c, v))
        return false;
    if (v.isNull()) {
        value = 0;
        return true;
    }
    if (kindOf(c, v) != Kind::Integer)
        return false;
    value = int(v.toLongLong());
    return true;
}

bool RecordSet::readDate(const Field& field, DateTime& value)
{
    QVariant v;
    const int c = column(field);
    if (!current(c, v))
        return false;
    if (v.isNull()) {
        value = DateTime();
        return true;
    }
    if (v.typeId() == QMetaType::QString) {
        bool ok = false;
        const DateTime d = parseStoredDate(v.toString(), &ok);
        if (ok)
            value = d;
        return ok;
    }
    bool ok = false;
    const double days = v.toDouble(&ok);
    if (ok)
        value = DateTime(days);
    return ok;
}

bool RecordSet::put(const Field& field, const QVariant& value)
{
    const int c = column(field);
    if (c < 0 || m_table.isEmpty() || (!m_pendingNew && (!load() || m_pos >= m_rows.size())))
        return false;
    if (!m_pendingNew && !m_dirty.contains(true))
        m_buffer = m_rows[m_pos];
    m_buffer[c] = value;
    m_dirty[c] = true;
    return true;
}

bool RecordSet::writeText(const Field& field, const QString& value)
{
    const int c = column(field);
    if (c < 0)
        return false;
    switch (m_columns[c].kind) {
    case Kind::Text:
    case Kind::Unknown:
        // The empty text is a value: stored as Null it could never be found, changed or
        // refused as a duplicate by the statements that name it.
        return put(field, value.isNull() ? QStringLiteral("") : value);
    case Kind::Integer: {
        bool ok = false;
        const qlonglong n = value.trimmed().toLongLong(&ok);
        return ok && put(field, n);
    }
    case Kind::DateTime: {
        bool ok = false;
        const DateTime d = parseStoredDate(value, &ok);
        return ok && put(field, storedDate(d));
    }
    default: {
        bool ok = false;
        const double d = value.trimmed().toDouble(&ok);
        return ok && writeNumber(field, d);
    }
    }
}

bool RecordSet::writeNumber(const Field& field, double value)
{
    const int c = column(field);
    if (c < 0)
        return false;
    switch (m_columns[c].kind) {
    case Kind::Single:
        return put(field, double(float(value)));
    case Kind::Double:
    case Kind::Unknown:
        return put(field, value);
    case Kind::Currency:
        return put(field, toCurrency(value));
    default:
        return false;
    }
}

bool RecordSet::writeSingle(const Field& field, float value)
{
    const int c = column(field);
    if (c < 0)
        return false;
    switch (m_columns[c].kind) {
    case Kind::Text:
        return put(field, toText(value));
    case Kind::Integer:
        return put(field, qlonglong(std::llround(value)));
    case Kind::Currency:
        return put(field, toCurrency(value));
    case Kind::DateTime:
        return put(field, storedDate(DateTime(value)));
    default:
        return put(field, double(value));
    }
}

bool RecordSet::writeInteger(const Field& field, int value)
{
    const int c = column(field);
    if (c < 0 || m_columns[c].kind != Kind::Integer)
        return false;
    return put(field, qlonglong(value));
}

bool RecordSet::writeDate(const Field& field, DateTime value, int part)
{
    const int c = column(field);
    if (c < 0 || (m_columns[c].kind != Kind::DateTime && m_columns[c].kind != Kind::Unknown))
        return false;
    DateTime v = value;
    if (part == 1)
        v = DateTime(std::trunc(value.days));
    else if (part == 2)
        v = DateTime(std::fabs(value.days - std::trunc(value.days)));
    return put(field, storedDate(v));
}
