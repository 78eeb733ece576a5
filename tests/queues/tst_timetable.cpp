#include "queuefixture.h"

#include "engine/datetime.h"
#include "engine/timetablenode.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

double At(int hour, int minute) {
    return DateTimeNumber::FromTime(QTime(hour, minute));
}

struct TRun {
    int Day, Type;
    QTime From, To;
    bool operator==(const TRun&) const = default;
};

// The subkeys of the key as runs, read straight from the store.
QList<TRun> StoredRuns(const QString& path, QStringList* names = nullptr) {
    QList<TRun> runs;
    TRegistry reg;
    if (!reg.OpenKey(path, false))
        return runs;
    const QStringList keys = reg.GetKeyNames();
    if (names)
        *names = keys;
    for (const QString& k : keys) {
        TRegistry run;
        run.OpenKey(path + u'\\' + k, false);
        runs.append({run.ReadInteger(u"DayOfWeek"_s, -1), run.ReadInteger(u"TimeType"_s, -1),
                     DateTimeNumber::ToTime(run.ReadDateTime(u"TimeFrom"_s, -1)),
                     DateTimeNumber::ToTime(run.ReadDateTime(u"TimeTo"_s, -1))});
    }
    return runs;
}

void Fill(TWeekPlan& plan, int day, int fromSlot, int toSlot, quint8 kind) {
    for (int s = fromSlot; s <= toSlot; ++s)
        plan.Set(day, s, kind);
}

} // namespace

class TestTimeTable : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TQueueFixture> F;
    TTimeTableNode* Node = nullptr;

private slots:
    void init() {
        F = std::make_unique<TQueueFixture>();
        F->Start();
        Node = F->Queue(1)->TimeTable;
        QVERIFY(Node);
    }
    void cleanup() { F.reset(); }

    void slotsOfTimes_data() {
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<int>("slot");
        QTest::newRow("5:00") << 5 << 0 << 1;
        QTest::newRow("5:14") << 5 << 14 << 1;
        QTest::newRow("5:15") << 5 << 15 << 2;
        QTest::newRow("7:00") << 7 << 0 << 9;
        QTest::newRow("13:30") << 13 << 30 << 35;
        QTest::newRow("20:45") << 20 << 45 << 64;
        QTest::newRow("21:00") << 21 << 0 << 65;
    }
    void slotsOfTimes() {
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(int, slot);
        QCOMPARE(TWeekPlan::SlotOf(At(hour, minute)), slot);
        if (minute % 15 == 0)
            QCOMPARE(DateTimeNumber::ToTime(TWeekPlan::TimeOfSlot(slot)), QTime(hour, minute));
    }

    void mondayRunsAreStoredAsTwoSubkeys() {
        TWeekPlan plan;
        Fill(plan, 0, 9, 28, TWeekPlan::Normal);    // 7:00-12:00
        Fill(plan, 0, 29, 34, TWeekPlan::Reserved); // 12:00-13:30
        Node->StorePlan(plan);
        QStringList names;
        const QList<TRun> runs = StoredRuns(Node->KeyPath(), &names);
        QCOMPARE(names, (QStringList{u"000"_s, u"001"_s}));
        QCOMPARE(runs, (QList<TRun>{{0, 1, QTime(7, 0), QTime(12, 0)},
                                    {0, 2, QTime(12, 0), QTime(13, 30)}}));
        QCOMPARE(Node->LoadPlan(), plan);
    }

    void aRunToTheEndOfTheDayEndsAtNine() {
        TWeekPlan plan;
        Fill(plan, 4, 37, 64, TWeekPlan::Normal); // Friday 14:00-21:00
        Fill(plan, 6, 1, 1, TWeekPlan::Reserved); // Sunday 5:00-5:15
        Node->StorePlan(plan);
        QCOMPARE(StoredRuns(Node->KeyPath()), (QList<TRun>{{4, 1, QTime(14, 0), QTime(21, 0)},
                                                           {6, 2, QTime(5, 0), QTime(5, 15)}}));
        QCOMPARE(Node->LoadPlan(), plan);
    }

    void savingAnEmptyPlanRemovesEverySubkey() {
        TWeekPlan plan;
        Fill(plan, 2, 10, 20, TWeekPlan::Normal);
        Fill(plan, 3, 10, 20, TWeekPlan::Normal);
        Node->StorePlan(plan);
        QCOMPARE(StoredRuns(Node->KeyPath()).size(), 2);
        Node->StorePlan(TWeekPlan{});
        QVERIFY(StoredRuns(Node->KeyPath()).isEmpty());
        QCOMPARE(Node->LoadPlan(), TWeekPlan{});
    }

    void foreignRunsLoadSafely() {
        auto write = [this](const QString& name, int day, int type, double from, double to) {
            TRegistry reg;
            reg.OpenKey(Node->KeyPath() + u'\\' + name, true);
            reg.WriteInteger(u"DayOfWeek"_s, day);
            reg.WriteInteger(u"TimeType"_s, type);
            reg.WriteDateTime(u"TimeFrom"_s, from);
            reg.WriteDateTime(u"TimeTo"_s, to);
        };
        write(u"000"_s, 1, 1, At(3, 0), At(6, 0));   // starts before 5:00
        write(u"001"_s, 1, 2, At(20, 0), At(23, 0)); // ends after 21:00
        write(u"002"_s, 9, 1, At(8, 0), At(9, 0));   // no such day
        write(u"abc"_s, 2, 7, At(8, 0), At(9, 0));   // unknown kind: none
        write(u"003"_s, 3, 1, qQNaN(), 1e300);       // garbage times
        const TWeekPlan plan = Node->LoadPlan();
        TWeekPlan expected;
        Fill(expected, 1, 1, 4, TWeekPlan::Normal);
        Fill(expected, 1, 61, 64, TWeekPlan::Reserved);
        QCOMPARE(plan, expected);
    }
};

QTEST_GUILESS_MAIN(TestTimeTable)
#include "tst_timetable.moc"
