#include "store/inifile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray gbk(const QString& s)
{
    QStringEncoder enc("GBK");
    return enc(s);
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void freshFileIsGbkWithCrLf();
    void reads_data();
    void reads();
    void writesChangeOnlyTheirLine_data();
    void writesChangeOnlyTheirLine();
    void longValuesAreCut();
    void damagedOrUnwritableFilesNeverCrash();

private:
    QTemporaryDir m_dir;
};

void TestIniFile::freshFileIsGbkWithCrLf()
{
    const QString path = m_dir.filePath(QStringLiteral("fresh.ini"));
    IniFile ini(path);
    QVERIFY(!ini.exists());
    QCOMPARE(ini.read(QStringLiteral("set"), QStringLiteral("小时价"), QStringLiteral("4.0")), QStringLiteral("4.0"));
    QVERIFY(!ini.exists());
    QVERIFY(ini.write(QStringLiteral("set"), QStringLiteral("小时价"), QStringLiteral("4.0")));
    QCOMPARE(contents(path), QByteArray("[set]\r\n\xD0\xA1\xCA\xB1\xBC\xDB=4.0\r\n"));
}

void TestIniFile::reads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");
    const QByteArray key = gbk(QStringLiteral("小时价"));
    QTest::newRow("plain") << QByteArray("[set]\r\n" + key + "=5.5\r\n") << "5.5";
    QTest::newRow("section case and blanks") << QByteArray("  [ SET ]\n  " + key + "  =  6 \n") << "6";
    QTest::newRow("unix line ends") << QByteArray("[set]\n" + key + "=7\n") << "7";
    QTest::newRow("empty value") << QByteArray("[set]\r\n" + key + "=\r\n") << "";
    QTest::newRow("missing key") << QByteArray("[set]\r\nother=1\r\n") << "dflt";
    QTest::newRow("other section") << QByteArray("[seta]\r\n" + key + "=8\r\n") << "dflt";
    QTest::newRow("first section wins") << QByteArray("[x]\r\n" + key + "=1\r\n[set]\r\n" + key + "=2\r\n") << "2";
    QTest::newRow("gbk value") << QByteArray("[set]\r\n" + key + "=" + gbk(QStringLiteral("四元")) + "\r\n") << "四元";
}

void TestIniFile::reads()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    const QString path = m_dir.filePath(QStringLiteral("read.ini"));
    put(path, file);
    QCOMPARE(IniFile(path).read(QStringLiteral("set"), QStringLiteral("小时价"), QStringLiteral("dflt")), expected);
}

void TestIniFile::writesChangeOnlyTheirLine_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");
    const QByteArray key = gbk(QStringLiteral("小时价"));
    QTest::newRow("replace in place") << QByteArray("; note\r\n[Set]\r\n" + key + " = 4.0\r\nx=1\r\n[other]\r\ny=2\r\n")
                                      << "set" << "5"
                                      << QByteArray("; note\r\n[Set]\r\n" + key + "=5\r\nx=1\r\n[other]\r\ny=2\r\n");
    QTest::newRow("add key to section") << QByteArray("[set]\r\nx=1\r\n\r\n[other]\r\ny=2\r\n") << "set" << "5"
                                        << QByteArray("[set]\r\nx=1\r\n" + key + "=5\r\n\r\n[other]\r\ny=2\r\n");
    QTest::newRow("add section") << QByteArray("[other]\r\ny=2\r\n") << "set" << "abc"
                                 << QByteArray("[other]\r\ny=2\r\n[set]\r\n" + key + "=abc\r\n");
    QTest::newRow("empty value as typed") << QByteArray("[set]\r\n" + key + "=4.0\r\n") << "set" << ""
                                          << QByteArray("[set]\r\n" + key + "=\r\n");
}

void TestIniFile::writesChangeOnlyTheirLine()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    const QString path = m_dir.filePath(QStringLiteral("write.ini"));
    put(path, before);
    IniFile ini(path);
    QVERIFY(ini.write(section, QStringLiteral("小时价"), value));
    QCOMPARE(contents(path), after);
    QCOMPARE(ini.read(section, QStringLiteral("小时价"), QStringLiteral("dflt")), value);
}

void TestIniFile::longValuesAreCut()
{
    const QString path = m_dir.filePath(QStringLiteral("long.ini"));
    put(path, "[set]\r\nk=" + QByteArray(20000, '7') + "\r\n");
    QCOMPARE(IniFile(path).read(QStringLiteral("set"), QStringLiteral("k"), QString()).size(), 10239);
}

void TestIniFile::damagedOrUnwritableFilesNeverCrash()
{
    const QString path = m_dir.filePath(QStringLiteral("damaged.ini"));
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 131) % 256));
    put(path, junk);
    IniFile damaged(path);
    QCOMPARE(damaged.read(QStringLiteral("set"), QStringLiteral("小时价"), QStringLiteral("4.0")), QStringLiteral("4.0"));
    QVERIFY(damaged.write(QStringLiteral("set"), QStringLiteral("小时价"), QStringLiteral("4.5")));
    QCOMPARE(damaged.read(QStringLiteral("set"), QStringLiteral("小时价"), QString()), QStringLiteral("4.5"));

    // A file too big to read whole is never rewritten from the part that was read.
    const QString huge = m_dir.filePath(QStringLiteral("huge.ini"));
    put(huge, "[set]\r\n" + QByteArray(17 * 1024 * 1024, ';') + "\r\n[other]\r\nkeep=1\r\n");
    const qint64 size = QFileInfo(huge).size();
    QVERIFY(!IniFile(huge).write(QStringLiteral("set"), QStringLiteral("小时价"), QStringLiteral("5")));
    QCOMPARE(QFileInfo(huge).size(), size);

    IniFile nowhere(m_dir.filePath(QStringLiteral("missing/dir/jishi.ini")));
    QVERIFY(!nowhere.write(QStringLiteral("set"), QStringLiteral("小时价"), QStringLiteral("4.0")));
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "testinifile.moc"
