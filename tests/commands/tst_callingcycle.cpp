// The calling cycle on the queues node's tick.

#include "commands/commandfixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestCallingCycle : public QObject {
    Q_OBJECT
    std::unique_ptr<TCommandFixture> F;
    TQueueNode* Q1 = nullptr;
    TQueueNode* Q2 = nullptr;

    TCandidate* Chosen(TQueueNode* q) {
        TCandidate* c = q->NewCandidate(1, 1, {});
        q->CallNext();
        return c;
    }

private slots:
    void init() {
        F = std::make_unique<TCommandFixture>();
        F->Start();
        Q1 = F->Queue(1);
        Q2 = F->Queue(2, 10, 99);
        F->Clear();
    }
    void cleanup() { F.reset(); }

    void oneCallFromChoiceToEnd() {
        TCandidate* c = Chosen(Q1);
        Q1->NewCandidate(1, 1, {});
        F->Clear();
        F->Tick();
        QCOMPARE(int(c->State), int(TCandidate::Calling));
        QCOMPARE(c->CallCount, 1);
        QCOMPARE(F->Queues->LastCalled, 100);
        QCOMPARE(c->CallStamp, F->Queues->Ticks);
        QCOMPARE(CallingCycle::CalledNumber(*F->Queues, 2), 100);
        QCOMPARE(CallingCycle::CalledNumber(*F->Queues, 2 | 4), 100);
        QCOMPARE(CallingCycle::CalledNumber(*F->Queues, 4), -1);
        QCOMPARE(F->Ports.Doors, (std::vector<std::pair<int, int>>{{2, 2}}));
        QCOMPARE(F->Ports.Log,
                 (QStringList{u"alert 001 %1 100"_s.arg(IEngineAudio::AlertInviting),
                              u"alert 001 %1 101"_s.arg(IEngineAudio::AlertInviteSoon)}));
        QCOMPARE(F->Ports.Texts.size(), 1);
        QCOMPARE(F->Letters(F->Ports.Texts[0]), QByteArray("FKCRRE"));
        // The start was saved: a restart finds the call.
        QCOMPARE(TBytesState(), int(TCandidate::Calling));
        F->Clear();
        F->Tick(600);
        QCOMPARE(int(c->State), int(TCandidate::Calling));
        F->Tick();
        QCOMPARE(int(c->State), int(TCandidate::WasCalled));
        QVERIFY(F->Queues->CallList.isEmpty());
        QCOMPARE(F->Ports.Doors, (std::vector<std::pair<int, int>>{{1, 2}}));
        QCOMPARE(F->Ports.Texts.size(), 1);
        QCOMPARE(TBytesState(), int(TCandidate::WasCalled));
        QCOMPARE(CallingCycle::CalledNumber(*F->Queues, 2), -1);
    }

    void shortInvitation() {
        F->Queues->Invitation = 50;
        TCandidate* c = Chosen(Q1);
        F->Tick();
        F->Tick(50);
        QCOMPARE(int(c->State), int(TCandidate::Calling));
        F->Tick();
        QCOMPARE(int(c->State), int(TCandidate::WasCalled));
    }

    void twoQueuesOnConsecutiveTicks() {
        TCandidate* a = Chosen(Q1);
        TCandidate* b = Chosen(Q2);
        F->Tick();
        QCOMPARE(int(a->State), int(TCandidate::Calling));
        QCOMPARE(int(b->State), int(TCandidate::Chosen));
        F->Tick();
        QCOMPARE(int(b->State), int(TCandidate::Calling));
        QCOMPARE(F->Queues->LastCalled, 10);
    }

    void sharedRow_data() {
        QTest::addColumn<int>("show");
        QTest::addColumn<bool>("waits");
        QTest::newRow("row shows the called number") << 0 << true;
        QTest::newRow("row shows the waiting number") << 1 << false;
    }
    void sharedRow() {
        QFETCH(int, show);
        QFETCH(bool, waits);
        F->Ports.Rows = {{show, 2 | 4}};
        F->Queues->Invitation = 50;
        TCandidate* a = Chosen(Q1);
        TCandidate* b = Chosen(Q2);
        F->Tick(2);
        QCOMPARE(int(b->State), int(waits ? TCandidate::Chosen : TCandidate::Calling));
        if (!waits)
            return;
        F->Tick(50);
        QCOMPARE(int(a->State), int(TCandidate::WasCalled));
        // Called on the first tick after the first call ended.
        QCOMPARE(int(b->State), int(TCandidate::Calling));
    }

    void doorEntryEndsCallSoon() {
        TCandidate* c = Chosen(Q1);
        F->Tick();
        F->Tick(100); // 10 s into the call
        CallingCycle::DoorEntered(*F->Queues, 2);
        QCOMPARE(int(c->State), int(TCandidate::BeingServed));
        QCOMPARE(CallingCycle::CalledNumber(*F->Queues, 2), -1);
        F->Clear();
        // Nothing else may be called in that queue meanwhile.
        Q1->NewCandidate(1, 1, {});
        F->Tick(20);
        QCOMPARE(F->Queues->CallList.size(), 1);
        QVERIFY(F->Ports.Doors.empty());
        F->Tick();
        QCOMPARE(int(c->State), int(TCandidate::BeingServed));
        QVERIFY(F->Queues->CallList.isEmpty());
        QCOMPARE(F->Ports.Doors, (std::vector<std::pair<int, int>>{{1, 2}}));
        // The next call of that queue.
        QVERIFY(F->Execute("*pD002"));
        QCOMPARE(int(c->State), int(TCandidate::Done));
        F->Tick();
        QCOMPARE(F->Queues->LastCalled, 101);
        // A door report without a call does nothing.
        CallingCycle::DoorEntered(*F->Queues, 4);
    }

    void restartDuringCall() {
        F->Queues->Invitation = 50;
        Chosen(Q1);
        F->Tick(30);
        Chosen(Q2);
        // The program ends while 100 is being called and 10 is chosen; it starts again.
        F->Ports.Doors.clear();
        F->Start();
        F->Queues->Invitation = 50;
        Q1 = F->Queues->QueueByNumber(1);
        QCOMPARE(F->Queues->CallList.size(), 2);
        QCOMPARE(F->Queues->LastCalled, 100);
        QCOMPARE(F->Ports.Doors, (std::vector<std::pair<int, int>>{{2, 2}}));
        TCandidate* c = Q1->FindCandidate(100);
        F->Tick(50);
        QCOMPARE(int(c->State), int(TCandidate::Calling));
        F->Tick();
        QCOMPARE(int(c->State), int(TCandidate::WasCalled));
    }

    void candidateThatLeftIsPassedOver() {
        TCandidate* c = Chosen(Q1);
        Q1->MarkDone(100);
        F->Tick(3);
        QCOMPARE(int(c->State), int(TCandidate::Done));
        QCOMPARE(F->Queues->LastCalled, -1);
        // Deleted while called: its entry goes with it.
        TCandidate* d = Chosen(Q2);
        Q1->NewCandidate(1, 1, {});
        F->Tick();
        QCOMPARE(int(d->State), int(TCandidate::Calling));
        Q2->DeleteCandidate(10);
        QCOMPARE(F->Queues->CallList, QList<TCandidate*>{c});
        F->Tick(700);
        QCOMPARE(F->Queues->LastCalled, 10);
    }

private:
    // The state of the first record of queue 1's data file.
    int TBytesState() {
        QFile file(Q1->DataFileName());
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray bytes = file.readAll();
        return bytes.size() >= TQueueNode::HeaderSize + TCandidate::RecordSize
                   ? int(quint8(bytes.at(TQueueNode::HeaderSize + 46)))
                   : -1;
    }
};

QTEST_GUILESS_MAIN(TestCallingCycle)
#include "tst_callingcycle.moc"
