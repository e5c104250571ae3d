#include "testsupport.h"

#include "common/seams.h"
#include "pgsupport.h"
#include "store/inifile.h"
#include "store/schema.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

ScriptedResponder::ScriptedResponder()
{
    seams::setMessageResponder([this](const QString& text, int style, const QString& title) {
        boxes.append({ text, style, title });
        if (onBox)
            onBox(boxes.last());
        return m_answers.isEmpty() ? int(AnswerOk) : m_answers.takeFirst();
    });
    seams::setBeepResponder([this] { ++beeps; });
}

ScriptedResponder::~ScriptedResponder()
{
    seams::setMessageResponder({});
    seams::setBeepResponder({});
}

TestClock::TestClock(const QDateTime& start)
    : m_now(start)
{
    seams::setClock([this] { return m_now; });
}

TestClock::~TestClock() { seams::setClock({}); }

namespace {

// The server databases standing in for the date.mdb of a program directory, by its path.
QHash<QString, QString>& serverDatabases()
{
    static QHash<QString, QString> byPath;
    return byPath;
}

} // namespace

bool testsOnServer() { return qgetenv("LANGTUO_TEST_ENGINE") == "PostgreSQL"; }

TestProgramDir::TestProgramDir(bool withDatabase)
{
    seams::setProgramDir(m_dir.path());
    if (withDatabase && testsOnServer()) {
        m_server = std::make_unique<PgTestDatabase>();
        if (!m_server->isMade())
            qFatal("cannot make the test database on the server");
        serverDatabases().insert(databasePath(), m_server->name());
        IniFile settings(file(QStringLiteral("jishi.ini")));
        settings.write(QStringLiteral("数据库"), QStringLiteral("类型"), QStringLiteral("PostgreSQL"));
        settings.write(QStringLiteral("数据库"), QStringLiteral("连接"), serverAddress());
        // The schema, as the program makes it on its first connection, and SQLite's ifnull for
        // the tests' own look-ups.
        Database db;
        if (!db.openServer(serverAddress()))
            qFatal("cannot make the schema on the server: %s", qPrintable(db.lastError()));
        QSqlQuery q(db.connection());
        for (const char* helper :
            { "create function ifnull(anycompatible, anycompatible) returns anycompatible language sql as 'select coalesce($1, "
                "$2)'",
                "create function group_concat_step(text, text, text) returns text language sql as 'select case when $1 "
                "is null then $2 else $1 || $3 || $2 end'",
                "create aggregate group_concat(text, text) (sfunc = group_concat_step, stype = text)",
                // printf's %g and %s of amounts, as SQLite writes them: no trailing zeros.
                "create function printf(fmt text, variadic a numeric[]) returns text language plpgsql as $$declare r "
                "text := ''; i int := 1; p int; begin loop p := position('%' in fmt); exit when p = 0; r := r || "
                "substr(fmt, 1, p - 1) || coalesce(trim_scale(a[i])::text, ''); i := i + 1; fmt := substr(fmt, p + 2); "
                "end loop; return r || fmt; end$$",
                // An amount joined to a text reads as SQLite writes it.
                "create function amount_text(numeric, text) returns text language sql as 'select trim_scale($1)::text || $2'",
                "create function text_amount(text, numeric) returns text language sql as 'select $1 || trim_scale($2)::text'",
                "create operator || (leftarg = numeric, rightarg = text, function = amount_text)",
                "create operator || (leftarg = text, rightarg = numeric, function = text_amount)",
                // …and so an integer, which would otherwise match both of those and no operator.
                "create function number_text(bigint, text) returns text language sql as 'select $1::text || $2'",
                "create function text_number(text, bigint) returns text language sql as 'select $1 || $2::text'",
                "create operator || (leftarg = bigint, rightarg = text, function = number_text)",
                "create operator || (leftarg = text, rightarg = bigint, function = text_number)",
                "create function number_text(integer, text) returns text language sql as 'select $1::text || $2'",
                "create function text_number(text, integer) returns text language sql as 'select $1 || $2::text'",
                "create operator || (leftarg = integer, rightarg = text, function = number_text)",
                "create operator || (leftarg = text, rightarg = integer, function = text_number)",
                "create function total_step(numeric, numeric) returns numeric language sql as 'select $1 + coalesce($2, 0)'",
                "create aggregate total(numeric) (sfunc = total_step, stype = numeric, initcond = '0')" }) {
            if (!q.exec(QString::fromLatin1(helper)))
                qFatal("cannot make the tests' helpers on the server: %s", qPrintable(q.lastError().text()));
        }
        return;
    }
    if (withDatabase && !createDatabase(databasePath()))
        qFatal("cannot make the test database");
}

TestProgramDir::~TestProgramDir()
{
    serverDatabases().remove(databasePath());
    seams::setProgramDir(QString());
}

QString TestProgramDir::serverAddress() const
{
    return m_server ? QStringLiteral("dbname=") + m_server->name() : QString();
}

QString TestProgramDir::file(const QString& name) const { return m_dir.filePath(name); }

bool openTestStore(Database& db, const TestProgramDir& dir)
{
    return testsOnServer() ? db.openServer(dir.serverAddress()) : db.openDatabase(dir.databasePath());
}

StoreFixture::StoreFixture()
    : dir(true)
{
    if (!openTestStore(db, dir))
        qFatal("cannot open the test database: %s", qPrintable(db.lastError()));
    rs.bind(&db);
}

namespace {

// The tests' set-up in SQLite's words, said as a server takes them: "insert into T values (…)"
// names T's columns, where T's row number is a column of its own that the values do not give;
// a trigger that refuses (raise(abort, …)) refuses through the schema's own function, and one
// is dropped from the table it is on.
QString withServerColumns(QSqlDatabase& db, const QString& statement)
{
    static const QRegularExpression refusing(QStringLiteral(R"(^\s*create\s+trigger\s+(\S+)\s+before\s+(\w+)\s+on\s+(\S+)\s+)"
                                                            R"((?:when\s+(.*?)\s+)?begin\s+select\s+raise\(abort,\s*('[^']*')\);\s*end\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    if (const QRegularExpressionMatch m = refusing.match(statement); m.hasMatch()) {
        return QStringLiteral("create trigger %1 before %2 on %3 for each row %4 execute function 拒绝改动(%5)")
            .arg(m.captured(1), m.captured(2), m.captured(3),
                m.captured(4).isEmpty() ? QString() : QStringLiteral("when (%1)").arg(m.captured(4)), m.captured(5));
    }
    static const QRegularExpression dropping(QStringLiteral(R"(^\s*drop\s+trigger\s+(\S+)\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = dropping.match(statement); m.hasMatch()) {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select tgrelid::regclass::text from pg_trigger where tgname = ?"));
        q.addBindValue(m.captured(1));
        return q.exec() && q.next() ? statement + QStringLiteral(" on ") + q.value(0).toString() : statement;
    }
    // A derived table needs a name on a server.
    static const QRegularExpression unnamed(QStringLiteral(R"(\bfrom\s*\(\s*select\b.*\)\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    if (statement.contains(unnamed))
        return statement + QStringLiteral(" as derived");
    static const QRegularExpression positional(QStringLiteral(R"(^\s*insert\s+into\s+(\S+)\s+values\s*\()"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = positional.match(statement);
    if (!m.hasMatch())
        return statement;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("select column_name from information_schema.columns where table_name = ? and column_name "
                             "<> 'rowid' order by ordinal_position"));
    q.addBindValue(m.captured(1));
    QStringList columns;
    if (q.exec())
        while (q.next())
            columns << u'"' + q.value(0).toString() + u'"';
    QString s = statement;
    return s.insert(m.capturedEnd(1), QStringLiteral(" (") + columns.join(u',') + u')');
}

template <typename F>
auto withConnection(const QString& path, F f)
{
    const QString name = QStringLiteral("test-side");
    decltype(f(std::declval<QSqlDatabase&>())) result {};
    {
        // A program directory's path, or the name of its database on the server.
        const QString server = serverDatabases().contains(path)   ? serverDatabases().value(path)
            : serverDatabases().key(path).isEmpty() ? QString()
                                                    : path;
        QSqlDatabase db = QSqlDatabase::addDatabase(server.isEmpty() ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name);
        db.setDatabaseName(server.isEmpty() ? path : server);
        if (db.open())
            result = f(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace

bool runSql(const QString& databasePath, const QStringList& statements)
{
    return withConnection(databasePath, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        for (const QString& statement : statements) {
            const QString s = db.driverName() == u"QPSQL" ? withServerColumns(db, statement) : statement;
            if (!q.exec(s)) {
                qWarning() << "set-up statement failed:" << s;
                return false;
            }
        }
        return true;
    });
}

QVariant queryValue(const QString& databasePath, const QString& statement)
{
    return withConnection(databasePath, [&](QSqlDatabase& db) {
        QSqlQuery q(db);
        if (q.exec(db.driverName() == u"QPSQL" ? withServerColumns(db, statement) : statement) && q.next())
            return q.value(0);
        return QVariant();
    });
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The worked example's plan: ¥5 by day, ¥6 in the evening, ¥4 at night capped at ¥24; units of
// 15 minutes, at least 30, 3 free; members pay 8.5 折; 包夜 22:00–08:00 for ¥30 and 3 hours for ¥12.
TypedPlan examplePricePlan()
{
    TypedPlan t;
    t.bands = { { QStringLiteral("08:00"), QStringLiteral("18:00"), QStringLiteral("5"), QString() },
        { QStringLiteral("18:00"), QStringLiteral("23:00"), QStringLiteral("6"), QString() },
        { QStringLiteral("23:00"), QStringLiteral("08:00"), QStringLiteral("4"), QStringLiteral("24") } };
    t.unit = QStringLiteral("15");
    t.minimum = QStringLiteral("30");
    t.grace = QStringLiteral("3");
    t.discount = QStringLiteral("8.5");
    t.packages = { { QStringLiteral("包夜"), QStringLiteral("22:00"), QStringLiteral("08:00"), QString(), QStringLiteral("30") },
        { QStringLiteral("3小时"), QString(), QString(), QStringLiteral("180"), QStringLiteral("12") } };
    return t;
}
