#include "queuefixture.h"

#include "engine/datetime.h"
#include "engine/statisticsnode.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestStatistics : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TQueueFixture> F;

    // A candidate of the queue that finishes now.
    void Finish(TQueueNode* q, int state = TCandidate::Done) {
        TCandidate* c = q->NewCandidate(1, 1, {});
        c->SetState(state);
    }

private slots:
    void init() {
        F = std::make_unique<TQueueFixture>();
        F->Start();
    }
    void cleanup() { F.reset(); }

    void dailyCountsJoinWhenTheWeekdayComesAgain() {
        F->SetNow(QDateTime(QDate(2025, 3, 3), QTime(9, 0))); // a Monday
        TQueueNode* q = F->Queue(1);
        TStatisticsNode* stats = q->Statistics;
        QCOMPARE(TStatisticsNode::WeekDay(), 1);
        for (int i = 0; i < 3; ++i)
            Finish(q);
        F->SetNow(QDateTime(QDate(2025, 3, 10), QTime(9, 0)));
        Finish(q);
        const TStatisticsEntry& monday = stats->Block.Entries[1];
        QCOMPARE(monday.DailyDone, (TAccumulator{1, 3, 9}));
        QCOMPARE(monday.DayCount, 1);
        QCOMPARE(DateTimeNumber::ToDate(monday.DayDate), QDate(2025, 3, 10));
        QCOMPARE(stats->Block.Entries[0].DayCount, 4);
        QCOMPARE(stats->Block.Entries[0].DailyDone, (TAccumulator{1, 3, 9}));
        QCOMPARE(stats->Block.Entries[0].DayDate, 0.0);
        // Arrivals: positions 1, 1, 1 on the first Monday (each finished before the next),
        // and 1 again.
        QCOMPARE(stats->Block.Entries[0].Waiting, (TAccumulator{4, 4, 4}));
        QCOMPARE(monday.Waiting, (TAccumulator{4, 4, 4}));

        // The file holds the same block at its offsets.
        TBytes file{ReadFile(stats->FileName())};
        QCOMPARE(stats->FileName(), ProgramFolder() + u"/Queue number 001.stat"_s);
        QCOMPARE(file.Data.size(), 392);
        QCOMPARE(file.Data.left(8), QByteArray(8, '\0'));
        const int e1 = 8 + 48;
        QCOMPARE(file.Int(e1 + 0), 4);  // Waiting.N
        QCOMPARE(file.Int(e1 + 12), 1); // DailyDone.N
        QCOMPARE(file.Int(e1 + 16), 3); // DailyDone.Sum
        QCOMPARE(file.Int(e1 + 20), 9); // DailyDone.SumSquares
        QCOMPARE(file.Double(e1 + 36), DateTimeNumber::FromDate(QDate(2025, 3, 10)));
        QCOMPARE(file.Int(e1 + 44), 1);
        QCOMPARE(file.Int(8 + 44), 4);

        // A restart (or a new queue with the same key) reads it back.
        F->Start();
        QCOMPARE(F->Queues->QueueByNumber(1)->Statistics->Block.ToBytes(), file.Data);
    }

    void notComeThenDoneCountsTwice() {
        F->SetNow(QDateTime(QDate(2025, 3, 5), QTime(9, 0))); // a Wednesday
        TQueueNode* q = F->Queue(1);
        TCandidate* c = q->NewCandidate(1, 1, {});
        c->SetState(TCandidate::NotCame);
        q->MarkDone(c->Number);
        QCOMPARE(q->Statistics->Block.Entries[0].DayCount, 2);
        QCOMPARE(q->Statistics->Block.Entries[3].DayCount, 2);
    }

    void clearingLeavesZeroBytes() {
        TQueueNode* q = F->Queue(1);
        Finish(q);
        int changes = 0;
        q->Statistics->Changed = [&changes] { ++changes; };
        q->Statistics->Clear();
        QCOMPARE(changes, 1);
        QCOMPARE(ReadFile(q->Statistics->FileName()), QByteArray(392, '\0'));
    }

    void aShortFileIsReadAsFarAsItGoes() {
        TQueueNode* q = F->Queue(1);
        Finish(q);
        const QString path = q->Statistics->FileName();
        QByteArray bytes = ReadFile(path);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes.left(8 + 48 + 10)); // entry 0 whole, entry 1 cut
        }
        q->Statistics->ReadFile();
        QCOMPARE(q->Statistics->Block.Entries[0].DayCount, 1);
        // Monday's entry: its first ten bytes are there, its day count is not.
        QCOMPARE(q->Statistics->Block.Entries[1].Waiting.N, 1);
        QCOMPARE(q->Statistics->Block.Entries[1].DayCount, 0);
    }

    void rangeText_data() {
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("sum");
        QTest::addColumn<int>("squares");
        QTest::addColumn<int>("precision");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << 0 << 0 << 5 << QString();
        QTest::newRow("one value") << 1 << 7 << 49 << 5 << u"7"_s;
        QTest::newRow("mean 5, deviation 2") << 4 << 20 << 116 << 5 << u"3-7"_s;
        QTest::newRow("three deviations") << 4 << 20 << 116 << 11 << u"-1-11"_s;
        QTest::newRow("z 0.2") << 4 << 20 << 116 << 1 << u"5-5"_s;
        QTest::newRow("half to even") << 4 << 10 << 25 << 5 << u"2-2"_s;
        QTest::newRow("half to even up") << 4 << 14 << 49 << 5 << u"4-4"_s;
        // Counters that cannot belong together give no negative variance.
        QTest::newRow("inconsistent") << 2 << 10 << 0 << 5 << u"5-5"_s;
        QTest::newRow("index beyond the table") << 4 << 20 << 116 << 40 << u"-1-11"_s;
    }
    void rangeText() {
        QFETCH(int, n);
        QFETCH(int, sum);
        QFETCH(int, squares);
        QFETCH(int, precision);
        QFETCH(QString, text);
        QCOMPARE(TStatisticsNode::RangeText({n, sum, squares}, precision), text);
    }

    void precisionPercentages() {
        const QList<int> expected{16, 31, 45, 58, 68, 79, 87, 92, 95, 99, 100};
        for (int i = 1; i <= 11; ++i)
            QCOMPARE(TStatisticsNode::PrecisionPercent(i), expected[i - 1]);
        QCOMPARE(TStatisticsNode::PrecisionZ(TStatisticsNode::DefaultPrecision), 1.0);
    }

    void accumulatorWrapsInsteadOfOverflowing() {
        TAccumulator a;
        a.Add(100000);
        QCOMPARE(a.N, 1);
        QCOMPARE(a.Sum, 100000);
        QCOMPARE(a.SumSquares, qint32(quint32(10000000000ULL)));
    }
};

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
