#include "testsupport.h"

#include "common/seams.h"
#include "store/schema.h"

#include <QFile>
#include <QSqlDatabase>
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

TestProgramDir::TestProgramDir(bool withDatabase)
{
    seams::setProgramDir(m_dir.path());
    if (withDatabase && !createDatabase(databasePath()))
        qFatal("cannot make the test database");
}

TestProgramDir::~TestProgramDir() { seams::setProgramDir(QString()); }

QString TestProgramDir::file(const QString& name) const { return m_dir.filePath(name); }

StoreFixture::StoreFixture()
    : dir(true)
{
    if (!db.openDatabase(dir.databasePath()))
        qFatal("cannot open the test database");
    rs.bind(&db);
}

namespace {

template <typename F>
auto withConnection(const QString& path, F f)
{
    const QString name = QStringLiteral("test-side");
    decltype(f(std::declval<QSqlDatabase&>())) result {};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
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
        for (const QString& s : statements) {
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
        if (q.exec(statement) && q.next())
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
