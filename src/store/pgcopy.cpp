#include "pgcopy.h"

#include "ledgertable.h"
#include "pgschema.h"
#include "schema.h"
#include "sqltext.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

constexpr int kBatchRows = 200; // rows a statement carries

// The server's side of the tables: their columns, which of them keep amounts, which number
// themselves.
struct ServerShape {
    QHash<QString, QStringList> columns;
    QHash<QString, QStringList> amounts;
    QVector<QPair<QString, QString>> identities;
};

class Copy {
public:
    Copy(QSqlDatabase& file, QSqlDatabase& server, CopyReport* report,
        const std::function<void(const QString&, qint64, qint64)>& progress)
        : m_file(file)
        , m_server(server)
        , m_report(report)
        , m_progress(progress)
    {
    }

    bool run(qint64 ledgerRows)
    {
        QSqlQuery q(m_file);
        if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
            return fail(errorText(q.lastError()));
        const int version = q.value(0).toInt();
        if (version != currentSchemaVersion())
            return fail(QStringLiteral("文件是第%1版，本程序是第%2版：请先用本程序打开这个文件一次，再复制。")
                            .arg(version)
                            .arg(currentSchemaVersion()));
        // One snapshot of the file from the first read to the last.
        if (!m_file.transaction() || !q.exec(QStringLiteral("select name from sqlite_master where type='table' and "
                                                            "name not like 'sqlite_%' order by name")))
            return fail(errorText(m_file.lastError().isValid() ? m_file.lastError() : q.lastError()));
        QStringList tables;
        while (q.next())
            tables << q.value(0).toString();
        if (!m_server.transaction())
            return fail(errorText(m_server.lastError()));
        if (!serverRun({ pgSchemaLockStatement() }))
            return false;
        QSqlQuery s(m_server);
        if (!s.exec(QStringLiteral("select count(*) from information_schema.tables where table_schema = "
                                   "current_schema()"))
            || !s.next())
            return fail(errorText(s.lastError()));
        if (s.value(0).toInt() != 0)
            return fail(QStringLiteral("目标数据库不是空的，未复制。请新建一个空的数据库。"));
        // The shape from the steps; the machines and the zone they make are the file's to give.
        if (!serverRun(pgNewDatabaseStatements() + QStringList { QStringLiteral("delete from 机器"), QStringLiteral("delete from 区域") })
            || !readShape())
            return false;
        for (const QString& table : std::as_const(tables)) {
            if (!copyTable(table))
                return false;
        }
        for (const auto& [table, column] : std::as_const(m_shape.identities)) {
            // The next row made on the server is numbered after the copied ones.
            if (!serverRun({ QStringLiteral("select setval(pg_get_serial_sequence('%1', '%2'), coalesce((select max(%2) "
                                            "from %1), 0) + 1, false)")
                                 .arg(table, column) }))
                return false;
        }
        if (!checkLedger(ledgerRows))
            return false;
        m_file.rollback();
        if (!m_server.commit())
            return fail(errorText(m_server.lastError()));
        return true;
    }

    QString error;

private:
    bool fail(const QString& why)
    {
        error = why;
        m_server.rollback();
        m_file.rollback();
        return false;
    }

    bool serverRun(const QStringList& statements)
    {
        QString why;
        return runPgStatements(m_server, statements, &why) || fail(why);
    }

    bool readShape()
    {
        QSqlQuery q(m_server);
        if (!q.exec(QStringLiteral("select table_name, column_name, data_type, is_identity from "
                                   "information_schema.columns where table_schema = current_schema() order by "
                                   "table_name, ordinal_position")))
            return fail(errorText(q.lastError()));
        while (q.next()) {
            const QString table = q.value(0).toString();
            const QString column = q.value(1).toString();
            m_shape.columns[table] << column;
            if (q.value(2).toString() == u"numeric")
                m_shape.amounts[table] << column;
            if (q.value(3).toString() == u"YES")
                m_shape.identities.append({ table, column });
        }
        return true;
    }

    bool copyTable(const QString& table)
    {
        const QStringList serverColumns = m_shape.columns.value(table);
        if (serverColumns.isEmpty())
            return fail(QStringLiteral("服务器上没有表“%1”，未复制。").arg(table));
        QSqlQuery info(m_file);
        if (!info.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)))
            return fail(errorText(info.lastError()));
        QStringList columns;
        // SQLite's hidden row number is the key the program finds these rows by.
        if (serverColumns.contains(QStringLiteral("rowid")))
            columns << QStringLiteral("rowid");
        while (info.next())
            columns << info.value(1).toString();
        for (const QString& c : std::as_const(columns)) {
            if (!serverColumns.contains(c))
                return fail(QStringLiteral("服务器上的表“%1”没有列“%2”，未复制。").arg(table, c));
        }
        const qint64 total = count(m_file, table);
        if (total < 0)
            return fail(errorText(m_file.lastError()));
        QSqlQuery rows(m_file);
        rows.setForwardOnly(true);
        if (!rows.exec(QStringLiteral("select %1 from \"%2\" order by rowid").arg(columns.join(u", "), table)))
            return fail(errorText(rows.lastError()));
        const QString row = u'(' + QStringList(columns.size(), QStringLiteral("?")).join(u", ") + u')';
        const QString head = QStringLiteral("insert into %1 (%2) values ").arg(table, columns.join(u", "));
        QSqlQuery full(m_server);
        if (!full.prepare(head + QStringList(kBatchRows, row).join(u", ")))
            return fail(errorText(full.lastError()));
        QVariantList values;
        qint64 done = 0;
        const auto flush = [&](int inBatch) {
            QSqlQuery partial(m_server);
            QSqlQuery& insert = inBatch == kBatchRows ? full : partial;
            if (inBatch != kBatchRows && !partial.prepare(head + QStringList(inBatch, row).join(u", ")))
                return fail(errorText(partial.lastError()));
            for (int i = 0; i < values.size(); ++i)
                insert.bindValue(i, values[i]);
            if (!insert.exec())
                return fail(QStringLiteral("表“%1”第%2行起无法复制：%3").arg(table).arg(done + 1).arg(errorText(insert.lastError())));
            done += inBatch;
            values.clear();
            if (m_progress)
                m_progress(table, done, total);
            return true;
        };
        int inBatch = 0;
        while (rows.next()) {
            for (int c = 0; c < columns.size(); ++c)
                values << rows.value(c);
            if (++inBatch == kBatchRows) {
                if (!flush(inBatch))
                    return false;
                inBatch = 0;
            }
        }
        if (rows.lastError().isValid())
            return fail(errorText(rows.lastError()));
        if (inBatch > 0 && !flush(inBatch))
            return false;
        if (m_report)
            m_report->rows.append({ table, done });
        return checkTable(table, total);
    }

    static qint64 count(QSqlDatabase& db, const QString& table)
    {
        QSqlQuery q(db);
        return q.exec(QStringLiteral("select count(*) from \"%1\"").arg(table)) && q.next() ? q.value(0).toLongLong() : -1;
    }

    // Rows and amounts as the file has them, to the fourth decimal the program keeps.
    bool checkTable(const QString& table, qint64 rows)
    {
        if (count(m_server, table) != rows)
            return fail(QStringLiteral("表“%1”复制后的行数不对，未复制。").arg(table));
        for (const QString& column : m_shape.amounts.value(table)) {
            QSqlQuery f(m_file), s(m_server);
            if (!f.exec(QStringLiteral("select printf('%.4f', round(total(%1), 4) + 0.0) from \"%2\"").arg(column, table)) || !f.next()
                || !s.exec(QStringLiteral("select coalesce(sum(%1), 0)::numeric(30,4)::text from %2").arg(column, table))
                || !s.next())
                return fail(errorText(f.lastError().isValid() ? f.lastError() : s.lastError()));
            if (f.value(0).toString() != s.value(0).toString())
                return fail(QStringLiteral("表“%1”的“%2”合计复制后不一致（文件%3，服务器%4），未复制。")
                                .arg(table, column, f.value(0).toString(), s.value(0).toString()));
        }
        return true;
    }

    // The chain worked out again from what the server gives back.
    bool checkLedger(qint64 expected)
    {
        QString why;
        const ServerLedgerCheck check = checkServerLedger(m_server, &why, [&](qint64 done) {
            if (m_progress)
                m_progress(QStringLiteral("核对"), done, expected);
            return true;
        });
        if (!why.isEmpty())
            return fail(why);
        if (check.firstBroken)
            return fail(QStringLiteral("服务器上的操作记录从第%1条起校验不通过，未复制。").arg(check.firstBroken));
        if (check.rows != expected)
            return fail(QStringLiteral("服务器上的操作记录条数不对，未复制。"));
        return true;
    }

    QSqlDatabase& m_file;
    QSqlDatabase& m_server;
    CopyReport* m_report;
    const std::function<void(const QString&, qint64, qint64)>& m_progress;
    ServerShape m_shape;
};

} // namespace

bool copyFileToServer(const QString& path, QSqlDatabase& server, CopyReport* report, QString* error,
    const std::function<void(const QString&, qint64, qint64)>& progress)
{
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const LedgerCheck check = checkLedgerFile(path, [&](qint64 done, qint64 total) {
        if (progress)
            progress(QStringLiteral("核对"), done, total);
        return true;
    });
    if (!check.readable)
        return fail(QStringLiteral("无法读取文件“%1”的操作记录，未复制。").arg(path));
    if (check.firstBroken)
        return fail(QStringLiteral("文件的操作记录从第%1条起校验不通过，未复制。").arg(check.firstBroken));
    const QString name = QStringLiteral("copy:") + path;
    QString why;
    bool copied = false;
    {
        QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        file.setDatabaseName(path);
        file.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!file.open()) {
            why = errorText(file.lastError());
        } else {
            Copy copy(file, server, report, progress);
            copied = copy.run(check.rows);
            why = copy.error;
            file.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return copied || fail(why);
}
