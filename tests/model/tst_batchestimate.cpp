// How the batch's line reads the time left.
#include "BatchEstimate.h"

#include <QTest>

class BatchEstimateTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void timeLeft_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing") << 0.0 << "less than a minute left";
        QTest::newRow("under a minute") << 59.9 << "less than a minute left";
        QTest::newRow("a minute") << 60.0 << "about 1 min left";
        QTest::newRow("rounded up") << 61.0 << "about 2 min left";
        QTest::newRow("minutes") << 11 * 60 + 1.0 << "about 12 min left";
        QTest::newRow("rounded up to an hour") << 59 * 60 + 30.0 << "about 1 h left";
        QTest::newRow("an hour") << 3600.0 << "about 1 h left";
        QTest::newRow("hours and minutes") << 3600 + 4 * 60 + 10.0 << "about 1 h 5 min left";
        QTest::newRow("hours") << 10 * 3600 + 59 * 60 + 1.0 << "about 11 h left";
    }
    void timeLeft()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(BatchEstimate::timeLeft(seconds), text);
    }
};

QTEST_APPLESS_MAIN(BatchEstimateTest)
#include "tst_batchestimate.moc"
