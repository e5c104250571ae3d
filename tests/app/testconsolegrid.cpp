#include <QtTest>
class T : public QObject { Q_OBJECT private slots: void t() { QVERIFY(true); } };
QTEST_MAIN(T)
#include "testconsolegrid.moc"
