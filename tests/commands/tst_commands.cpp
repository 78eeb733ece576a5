// The command interpreter and the broadcasts it causes.

#include "commands/commandfixture.h"

#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;
using namespace StationMessage;

class TestCommands : public QObject {
    Q_OBJECT
    std::unique_ptr<TCommandFixture> F;

    qint32 At(const QByteArray& k, int offset) {
        return qFromLittleEndian<qint32>(k.constData() + offset);
    }
    // The "*pK" of the mask in a text.
    QByteArray StateOf(const QByteArray& text, int mask) {
        for (const TStateMessage& m : ReadStateMessages(text))
            if (m.Letter == 'K' && m.Id == mask)
                return m.Body;
        return {};
    }

private slots:
    void init() {
        F = std::make_unique<TCommandFixture>();
        F->Start();
        F->Defaults();
        F->Clear();
    }
    void cleanup() { F.reset(); }

    void oneTextTwoCalls() {
        F->Queues->QueueByNumber(1)->NewCandidate(1, 1, {});
        F->Queues->QueueByNumber(2)->NewCandidate(2, 1, {});
        QCOMPARE(EngineCommands::ExecuteText(*F->Tree, "*pD002*pD004"), 0);
        QCOMPARE(F->States(F->Queues->QueueByNumber(1)), QList<int>{1});
        QCOMPARE(F->States(F->Queues->QueueByNumber(2)), QList<int>{1});
        QCOMPARE(F->Queues->CallList.size(), 2);
    }

    void operationsByLetter() {
        TQueueNode* q = F->Queues->QueueByNumber(1);
        TQueueNode* nurse = F->Queues->QueueByNumber(2);
        for (int i = 0; i < 4; ++i)
            q->NewCandidate(1, 1, {});
        QVERIFY(F->Execute("*pW002103"));
        QCOMPARE(q->Candidates.first()->Number, 103);
        QVERIFY(F->Execute("*pB002103"));
        QCOMPARE(q->Candidates.last()->Number, 103);
        QVERIFY(F->Execute("*pA002101"));
        QCOMPARE(q->FindCandidate(101)->State, quint8(TCandidate::Done));
        QVERIFY(F->Execute("*pE002102"));
        QVERIFY(!q->FindCandidate(102));
        QVERIFY(F->Execute(SetReason(2, 100, 4)));
        QCOMPARE(q->FindCandidate(100)->Reason, quint8(4));
        QVERIFY(F->Execute("*pC002100Q004"));
        QVERIFY(!q->FindCandidate(100));
        QVERIFY(nurse->FindCandidate(100));
        // A target mask that names no queue: nothing happens.
        QVERIFY(F->Execute("*pC002103Q016"));
        QVERIFY(q->FindCandidate(103));
        QVERIFY(F->Execute("*pQ002C"));
        QVERIFY(!q->Active);
        QVERIFY(F->Execute("*pQ002O"));
        QVERIFY(q->Active);
        QVERIFY(F->Execute("*pL004"));
        QCOMPARE(F->Ports.Doors.back(), std::make_pair(5, 4));
        // A sub-letter without meaning and a mask of no queue do nothing.
        F->Clear();
        QVERIFY(F->Execute("*pD008"));
        QVERIFY(F->Execute("*pE008103"));
        QVERIFY(F->Ports.Texts.isEmpty());
    }

    void noteWithMarkerArrivesWhole() {
        TQueueNode* q = F->Queues->QueueByNumber(1);
        q->NewCandidate(1, 1, {});
        F->Queues->QueueByNumber(2)->NewCandidate(2, 1, {});
        const QByteArray text = SetNote(2, 100, u"pozor *pD004"_s) + "*pF";
        QCOMPARE(EngineCommands::ExecuteText(*F->Tree, text), 0);
        QCOMPARE(q->FindCandidate(100)->Note, u"pozor *pD004"_s);
        QCOMPARE(F->States(F->Queues->QueueByNumber(2)), QList<int>{0});
    }

    void malformedCommandsHaveNoEffect_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("non-digit mask") << QByteArray("*pD0x2");
        QTest::newRow("non-digit number") << QByteArray("*pA002l00");
        QTest::newRow("unknown letter") << QByteArray("*pZ002");
        QTest::newRow("unknown sub-letter") << QByteArray("*pC002100Z");
        QTest::newRow("truncated") << QByteArray("*pE00210");
        QTest::newRow("note too short") << QByteArray("*pC002100N\x20"
                                                      "ab");
        QTest::newRow("no marker") << QByteArray("xxD002");
        QTest::newRow("binary") << QByteArray("\x00\xff*\x01p", 5);
    }
    void malformedCommandsHaveNoEffect() {
        QFETCH(QByteArray, text);
        TQueueNode* q = F->Queues->QueueByNumber(1);
        q->NewCandidate(1, 1, {});
        F->Clear();
        const int before = Counters().MalformedCommands;
        QVERIFY(!F->Execute(text));
        QCOMPARE(EngineCommands::ExecuteText(*F->Tree, text), 1);
        QCOMPARE(Counters().MalformedCommands - before, 2);
        QCOMPARE(F->States(q), QList<int>{0});
        QVERIFY(F->Ports.Texts.isEmpty());
        QVERIFY(F->Prompt.Asked.isEmpty());
        // The rest of the text still runs.
        QCOMPARE(EngineCommands::ExecuteText(*F->Tree, text + "*pD002"), 1);
        QCOMPARE(F->States(q), QList<int>{1});
    }

    void requestQueueOrder() {
        F->Queues->QueueByNumber(2)->NewCandidate(2, 1, {});
        F->Queues->QueueByNumber(2)->NewCandidate(2, 1, {});
        F->Clear();
        QVERIFY(F->Execute("*pR004"));
        QCOMPARE(F->Ports.Texts.size(), 1);
        const QByteArray text = F->Ports.Texts.first();
        QCOMPARE(F->Letters(text), QByteArray("TTTTFKCRRE"));
        const QList<TStateMessage> m = ReadStateMessages(text);
        QCOMPARE(m[0].Text, u"Lékař"_s);
        QCOMPARE(m[3].Id, 4);
        QCOMPARE(m[3].Value, quint8(3));
        for (int i = 4; i < m.size(); ++i)
            QCOMPARE(m[i].Id, 4);
        QCOMPARE(m[4].Text, u"Fronta 2"_s);
        // Each record carries the candidate's current place.
        TCandidate c(nullptr, nullptr);
        c.ReadRecord(m[7].Body.constData());
        QCOMPARE(c.Number, 10);
        QCOMPARE(c.Position, 1);
        c.ReadRecord(m[8].Body.constData());
        QCOMPARE(c.Number, 11);
        QCOMPARE(c.Position, 2);
    }

    void requestAll() {
        F->Clear();
        QVERIFY(F->Execute("*pX"));
        QCOMPARE(F->Ports.Texts.size(), 3);
        QCOMPARE(F->Letters(F->Ports.Texts[0]), QByteArray("XTTTTFF"));
        QCOMPARE(F->Letters(F->Ports.Texts[1]), QByteArray("P"));
        // Without any camera: the 6-byte "*pH002".
        QCOMPARE(F->Ports.Texts[2], QByteArray("*pH002"));
        TRecordingCameras cameras(F->Ports);
        TEnginePorts::InstallCameras(&cameras);
        F->Clear();
        QVERIFY(F->Execute("*pX"));
        QCOMPARE(F->Letters(F->Ports.Texts[2]), QByteArray("H"));
    }

    void eightQueuesIncludeQueue8() {
        for (int n = 3; n <= 8; ++n)
            F->Queue(n);
        F->Clear();
        QVERIFY(F->Execute("*pF"));
        QCOMPARE(F->Ports.Texts.size(), 1);
        const QByteArray text = F->Ports.Texts.first();
        QCOMPARE(F->Letters(text), QByteArray("FFFFFFFFKKKKKKKK"));
        QVERIFY(!StateOf(text, 256).isEmpty());
        QVERIFY(!StateOf(text, 2).isEmpty());
        QVERIFY(F->Execute("*pD256"));
    }

    void queueState() {
        TQueueNode* q = F->Queue(3, 17, 99);
        TQueueNode* q1 = F->Queues->QueueByNumber(1);
        // All finished: no called and no next candidate.
        q1->NewCandidate(1, 1, {});
        q1->MarkDone(100);
        q1->ServedCount = 2;
        q1->WaitMinutes = 5;  // 2.5 to the even 2
        q1->ServeMinutes = 7; // 3.5 to the even 4
        F->Ports.Lock = 3;
        F->Ports.Door = 1;
        q->NewCandidate(1, 1, {});
        q->NewCandidate(1, 1, {});
        q->NewCandidate(1, 1, {});
        q->CallNext(); // 17 chosen ahead of 18 and 19
        q1->RoomA.Enabled = true;
        F->Clear();
        QVERIFY(F->Execute("*pF"));
        const QByteArray k1 = StateOf(F->Ports.Texts.first(), 2);
        const QByteArray k3 = StateOf(F->Ports.Texts.first(), 8);
        QCOMPARE(k1.size(), 44);
        QCOMPARE(At(k1, 6), 2);
        QCOMPARE(At(k1, 10), 2);
        QCOMPARE(At(k1, 14), 4);
        QCOMPARE(At(k1, 18), 0);
        QCOMPARE(At(k1, 26), 0);
        QCOMPARE(At(k1, 30), 0);
        QCOMPARE(At(k1, 34), 3);
        QCOMPARE(At(k1, 38), 1);
        QCOMPARE(int(k1.at(42)), 1);
        QCOMPARE(int(k1.at(43)), 0);
        QCOMPARE(At(k3, 18), 3);
        QCOMPARE(At(k3, 22), 9);
        QCOMPARE(At(k3, 30), -17);
        QCOMPARE(At(k3, 34), 0);
        QCOMPARE(int(k3.at(43)), 2);
        // Called and done: offset 26 names the called one, 30 the next waiting.
        q->Candidates.first()->SetState(TCandidate::WasCalled);
        q->SetActive(false);
        const QByteArray closed = StateOf(EngineCommands::ComposeBroadcast(*F->Tree, 8, 4), 8);
        QCOMPARE(At(closed, 26), 17);
        QCOMPARE(At(closed, 30), 18);
        QCOMPARE(int(closed.at(42)), 0);
    }

    void openingTheWaitingRoom() {
        QVERIFY(F->Execute("*pM1"));
        QCOMPARE(F->Ports.Texts.size(), 1);
        QCOMPARE(F->Letters(F->Ports.Texts[0]), QByteArray("FFKK"));
        QCOMPARE(F->Ports.Restarts, 0);
        F->Clear();
        QVERIFY(F->Execute("*pM0"));
        QVERIFY(!F->Host.Opened());
        QCOMPARE(F->Ports.Texts.size(), 2);
        QCOMPARE(F->Ports.Texts[0], QByteArray("*pM0"));
        QCOMPARE(F->Letters(F->Ports.Texts[1]), QByteArray("FFKK"));
        QCOMPARE(F->Ports.Restarts, 1);
        QVERIFY(F->Execute("*pMx"));
        QVERIFY(!F->Host.Opened());
        QVERIFY(F->Execute("*pM1"));
        QVERIFY(F->Host.Opened());
    }

    void localEngine() {
        QList<QByteArray> delivered;
        F->Tree->OperatorSink = [&](const QByteArray& t) { delivered << t; };
        EngineCommands::InstallLocalEngine(*F->Tree);
        F->Tree->SendToEngine("*pR002junk*pF");
        QCOMPARE(delivered.size(), 2);
        QCOMPARE(F->Letters(delivered[0]), QByteArray("TTTTFKCE"));
        QCOMPARE(F->Letters(delivered[1]), QByteArray("FFKK"));
        // The link goes with its tree.
        F->Tree.reset();
        QCOMPARE(&TQueuePorts::Link(), &TQueuePorts::Link());
        TQueuePorts::Link().Distribute("*pX");
        QCOMPARE(delivered.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
