// How the batch's line reads the time left, and leaves a pause out of it.
#include "AppModel.h"
#include "BatchEstimate.h"
#include "Movies.h"
#include "Scratch.h"

#include <QTest>

using namespace Qt::StringLiterals;

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

    // A real batch on a clock the test sets: 10 s converting, then paused
    // for 10 min. Paused, the fraction stands still, so the pace after
    // Resume can be told exactly.
    void leavesPauseOut()
    {
        const Scratch scratch;
        movies::copyTo(movies::slowEncode(), scratch.path(u"slow.mov"_s));
        AppModel model;
        model.add({ QUrl::fromLocalFile(scratch.path(u"slow.mov"_s)) });
        qint64 now = 0;
        const BatchEstimate estimate(*model.batch(), [&now] { return now; });

        model.start();
        QCOMPARE(estimate.text(), u"0 of 1 done"_s);
        QTRY_VERIFY_WITH_TIMEOUT(model.batch()->fraction() > 0.02, 120000);
        now = 10'000;
        model.pause();
        QCOMPARE(estimate.text(), u"Paused · 0 of 1 done"_s);
        now = 610'000;
        QTest::qWait(1200); // a tick of the line, and the reports posted before the stop
        QCOMPARE(estimate.text(), u"Paused · 0 of 1 done"_s);

        const double fraction = model.batch()->fraction();
        model.resume();
        QCOMPARE(estimate.text(),
            u"0 of 1 done · "_s + BatchEstimate::timeLeft(10 * (1 - fraction) / fraction));
        model.cancel();
        QTRY_VERIFY_WITH_TIMEOUT(!model.running(), 20000);
        QCOMPARE(estimate.text(), QString());
    }
};

QTEST_GUILESS_MAIN(BatchEstimateTest)
#include "tst_batchestimate.moc"
