#pragma once

#include "common/values.h"
#include "counter/priceplan.h"
#include "store/database.h"
#include "store/recordset.h"

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <functional>
#include <memory>

class PgTestDatabase;

// Whether this run puts the tests' store on a PostgreSQL server (LANGTUO_TEST_ENGINE=PostgreSQL,
// as CTest does for the store's tests labelled pg) instead of a date.mdb.
bool testsOnServer();
// In a test that is about the file itself: skipped on a server.
#define FILE_ONLY_TEST()                                                                                               \
    do {                                                                                                               \
        if (testsOnServer())                                                                                           \
            QSKIP("about date.mdb itself");                                                                            \
    } while (false)

// Stands in for the message box and the beep: records every box and answers from a script.
class ScriptedResponder {
public:
    struct Box {
        QString text;
        int style = 0;
        QString title;
    };

    ScriptedResponder();
    ~ScriptedResponder();

    void answerNext(int answer) { m_answers.append(answer); }
    QVector<Box> boxes;
    int beeps = 0;
    // Runs while a box is "shown", to look at the program in that moment.
    std::function<void(const Box&)> onBox;

private:
    QVector<int> m_answers;
};

// A clock that stands still until a test moves it.
class TestClock {
public:
    explicit TestClock(const QDateTime& start);
    ~TestClock();

    void set(const QDateTime& t) { m_now = t; }
    void advance(qint64 seconds) { m_now = m_now.addSecs(seconds); }
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }
    QDateTime current() const { return m_now; }

private:
    QDateTime m_now;
};

// An empty program directory for one test, optionally with a fresh store: a date.mdb, or on a
// server run an empty database of its own that jishi.ini points the program at (runSql and
// queryValue given the databasePath() reach it there).
class TestProgramDir {
public:
    explicit TestProgramDir(bool withDatabase = true);
    ~TestProgramDir();

    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const;
    QString databasePath() const { return file(QStringLiteral("date.mdb")); }
    // The server's database as the program's settings name it; empty on a file.
    QString serverAddress() const;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<PgTestDatabase> m_server;
};

// Opens the program's connection on the directory's store, a file or a server's database.
bool openTestStore(Database& db, const TestProgramDir& dir);

// The program's connection and record set on a fresh date.mdb in an empty program directory,
// with message boxes scripted: where every test of a window on the store starts.
class StoreFixture {
public:
    StoreFixture();

    TestProgramDir dir;
    ScriptedResponder responder;
    Database db;
    RecordSet rs;
};


// The worked example of a price plan, as an owner types it.
TypedPlan examplePricePlan();

// The whole of a file, or nothing when it cannot be read.
QByteArray fileBytes(const QString& path);

// Executes statements on a database file outside the program's connection (test set-up).
bool runSql(const QString& databasePath, const QStringList& statements);
// First column of the first row of a query, or an invalid variant.
QVariant queryValue(const QString& databasePath, const QString& statement);
