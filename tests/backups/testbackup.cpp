#include "backups/backuprunner.h"
#include "common/seams.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/ledgertable.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>

namespace {

QString s(const char16_t* t) { return QString::fromUtf16(t); }

const QDateTime kNoon(QDate(2026, 12, 8), QTime(12, 0, 0));


} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void retentionOverNinetyDays();
    void copyChecked();
    void faultsLeaveNoCopy_data();
    void faultsLeaveNoCopy();
    void secondFolder();
    void restoreKeepsASafetyCopy();
    void failedRestoreLeavesTheFile();
    void runnerCopiesInItsOwnThread();

private:
    QString folder() const { return m_store->dir.file(QStringLiteral("backup")); }
    QString goods() { return queryValue(m_store->dir.databasePath(), s(u"select group_concat(商品名称) from 商品表")).toString(); }

    std::unique_ptr<TestClock> m_clock;
    std::unique_ptr<StoreFixture> m_store;
};

void TestBackup::init()
{
    m_clock = std::make_unique<TestClock>(kNoon);
    m_store = std::make_unique<StoreFixture>();
    QVERIFY(runSql(m_store->dir.databasePath(), { s(u"insert into 商品表 values ('可乐', 2.5)") }));
}

void TestBackup::cleanup()
{
    seams::setWriteFault({});
    m_store.reset();
    m_clock.reset();
}

// Three copies a day for 90 days: the newest 20 stay, and the newest of each of the last 60
// days; the other 197 go.
void TestBackup::retentionOverNinetyDays()
{
    QVector<BackupFile> copies;
    const DateTime today = makeDate(2026, 12, 8, 18, 0, 0);
    for (int day = 0; day < 90; ++day) {
        for (int hour : { 18, 12, 9 })
            copies.append({ QStringLiteral("%1-%2").arg(day).arg(hour),
                DateTime(std::floor(today.days) - day + hour / 24.0), 0 });
    }
    const QStringList removed = backupsToRemove(copies, today);
    QCOMPARE(removed.size(), 270 - 73);
    for (int i = 0; i < 20; ++i)
        QVERIFY(!removed.contains(copies[i].path)); // the newest 20, over seven days
    for (int day = 0; day < 90; ++day) {
        const QString newestOfDay = QStringLiteral("%1-18").arg(day);
        QCOMPARE(removed.contains(newestOfDay), day >= 60);
        if (day >= 7)
            QVERIFY(removed.contains(QStringLiteral("%1-12").arg(day)));
    }
}

void TestBackup::copyChecked()
{
    const BackupOutcome out = makeBackup(m_store->dir.databasePath(), folder(), QString(), now());
    QVERIFY2(out.ok, qPrintable(out.error));
    QCOMPARE(QFileInfo(out.copy.path).fileName(), QStringLiteral("date-20261208-120000.mdb"));
    QCOMPARE(queryValue(out.copy.path, s(u"select 商品名称 from 商品表")).toString(), s(u"可乐"));
    QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList({ QStringLiteral("date-20261208-120000.mdb") }));
    QCOMPARE(listBackups(folder()).size(), 1);
    QVERIFY(checkBackup(out.copy.path, nullptr));
}

void TestBackup::faultsLeaveNoCopy_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("error");
    QTest::newRow("disk full") << "disk" << s(u"磁盘已满");
    QTest::newRow("fails its check") << "version" << s(u"备份未通过检查，已删除");
    QTest::newRow("not a database") << "junk" << s(u"");
    QTest::newRow("folder cannot be made") << "folder" << s(u"无法建立备份目录");
}

void TestBackup::faultsLeaveNoCopy()
{
    QFETCH(QString, fault);
    QFETCH(QString, error);
    QString source = m_store->dir.databasePath();
    QString target = folder();
    if (fault == u"disk") {
        seams::setWriteFault([](const QString&) { return s(u"磁盘已满，无法写入。"); });
    } else if (fault == u"version") {
        QVERIFY(runSql(source, { QStringLiteral("PRAGMA user_version=1") }));
    } else if (fault == u"junk") {
        source = m_store->dir.file(QStringLiteral("junk.mdb"));
        QFile junk(source);
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(8192, 'x'));
    } else {
        target = m_store->dir.databasePath() + QStringLiteral("/backup"); // under a file
    }
    const BackupOutcome out = makeBackup(source, target, QString(), now());
    QVERIFY(!out.ok);
    QVERIFY2(out.error.contains(error) && !out.error.isEmpty(), qPrintable(out.error));
    QVERIFY(QDir(target).entryList(QDir::Files).isEmpty()); // nothing partial stays
    QCOMPARE(goods(), s(u"可乐"));
    QVERIFY(m_store->db.execute(s(u"insert into 商品表 values ('雪碧', 3)"))); // bookings go on
}

void TestBackup::secondFolder()
{
    const QString second = m_store->dir.file(QStringLiteral("usb"));
    BackupOutcome out = makeBackup(m_store->dir.databasePath(), folder(), second, now());
    QVERIFY(out.ok);
    QVERIFY(out.secondError.contains(s(u"找不到第二备份目录")));
    QVERIFY(QDir().mkpath(second));
    m_clock->advance(60);
    out = makeBackup(m_store->dir.databasePath(), folder(), second, now());
    QVERIFY(out.ok && out.secondError.isEmpty());
    QCOMPARE(QDir(second).entryList(QDir::Files), QStringList({ QStringLiteral("date-20261208-120100.mdb") }));
    QCOMPARE(fileBytes(QDir(second).filePath(QStringLiteral("date-20261208-120100.mdb"))), fileBytes(out.copy.path));
}

void TestBackup::restoreKeepsASafetyCopy()
{
    const BackupOutcome copy = makeBackup(m_store->dir.databasePath(), folder(), QString(), now());
    QVERIFY(copy.ok);
    QVERIFY(m_store->db.execute(s(u"insert into 商品表 values ('雪碧', 3)")));
    m_clock->advance(3600);
    const RestoreOutcome out
        = restoreBackup(m_store->db, m_store->dir.databasePath(), copy.copy.path, folder(), now());
    QVERIFY2(out.ok, qPrintable(out.error));
    QCOMPARE(goods(), s(u"可乐"));
    QCOMPARE(queryValue(out.safetyCopy, s(u"select group_concat(商品名称) from 商品表")).toString(), s(u"可乐,雪碧"));
    QCOMPARE(QFileInfo(out.safetyCopy).fileName(), QStringLiteral("restore-safety-20261208-130000.mdb"));
    QVERIFY(m_store->db.isOpen());
    QCOMPARE(queryValue(m_store->dir.databasePath(), s(u"select 类型||':'||说明 from 操作记录 order by 序号 desc"))
                 .toString(),
        s(u"恢复备份:恢复自date-20261208-120000.mdb，安全副本restore-safety-20261208-130000.mdb"));
    QVERIFY(!QFile::exists(m_store->dir.databasePath() + QStringLiteral(".restoring")));
}

void TestBackup::failedRestoreLeavesTheFile()
{
    const BackupOutcome copy = makeBackup(m_store->dir.databasePath(), folder(), QString(), now());
    QVERIFY(m_store->db.execute(s(u"insert into 商品表 values ('雪碧', 3)")));
    const QByteArray before = fileBytes(m_store->dir.databasePath());
    // A copy that is no database of this version, then a disk that cannot take the copy.
    RestoreOutcome out = restoreBackup(
        m_store->db, m_store->dir.databasePath(), m_store->dir.file(QStringLiteral("none.mdb")), folder(), now());
    QVERIFY(!out.ok && !out.error.isEmpty());
    seams::setWriteFault([](const QString& path) { return path.endsWith(QStringLiteral(".restoring")) ? s(u"磁盘已满") : QString(); });
    out = restoreBackup(m_store->db, m_store->dir.databasePath(), copy.copy.path, folder(), now());
    QVERIFY(!out.ok);
    QCOMPARE(out.error, s(u"磁盘已满"));
    QCOMPARE(fileBytes(m_store->dir.databasePath()), before);
    QVERIFY(m_store->db.execute(s(u"insert into 商品表 values ('红茶', 3)")));
    QCOMPARE(goods(), s(u"可乐,红茶,雪碧")); // in the order of their names
}

void TestBackup::runnerCopiesInItsOwnThread()
{
    BackupRunner runner(m_store->dir.databasePath(), folder());
    QVERIFY(runner.isOverdue());
    QSignalSpy done(&runner, &BackupRunner::finished);
    QVERIFY(runner.start());
    QVERIFY(!runner.start()); // one at a time
    QVERIFY(done.wait(10000));
    QVERIFY(!runner.isRunning());
    QVERIFY(done.first().first().value<BackupOutcome>().ok);
    QVERIFY(!runner.isOverdue());
    m_clock->advance(25 * 3600);
    QVERIFY(runner.isOverdue());
}

QTEST_GUILESS_MAIN(TestBackup)
#include "testbackup.moc"
