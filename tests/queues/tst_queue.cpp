#include "queuefixture.h"

#include "engine/buttonsnode.h"
#include "engine/statisticsnode.h"
#include "engine/timetablenode.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Stand-ins for the ticket layout classes of the ticket subsystem.
template <int Which> class TLayoutNode : public TSetupNode {
public:
    TLayoutNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
        static const QString keys[] = {u"Ticket"_s, u"Deny Ticket"_s, u"Tomorrow Ticket"_s};
        KeyName = keys[Which];
        Editable = true;
    }
    QString ClassName() const override { return u"TLayoutNode"_s; }
};

template <int Which> TNodeClass LayoutClass() {
    return TSetupNode::ClassOf<TLayoutNode<Which>>();
}

} // namespace

class TestQueue : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TQueueFixture> F;
    TQueueNode* MakeQueue(int number = 1, int minNumber = 100, int maxNumber = 999,
                          int countOut = 10, int repeatTime = 2) {
        return F->Queue(number, minNumber, maxNumber, countOut, repeatTime);
    }
    // Chooses and calls the head of the queue, so its candidate ends in "Byl vyzván".
    TCandidate* CallAndFinishInvitation(TQueueNode* q) {
        q->CallNext();
        TCandidate* chosen = F->Queues->CallList.isEmpty() ? nullptr : F->Queues->CallList.last();
        if (chosen)
            TQueueFixture::RunCall(F->Queues, chosen);
        return chosen;
    }

private slots:
    void init() {
        F = std::make_unique<TQueueFixture>();
        F->Start();
    }
    void cleanup() { F.reset(); }

    void numberingWrapsInsideTheRange() {
        TQueueNode* q = MakeQueue(1, 10, 12);
        QList<int> numbers;
        for (int i = 0; i < 5; ++i)
            numbers << q->TakeNumber();
        QCOMPARE(numbers, (QList<int>{10, 11, 12, 10, 11}));
    }

    void numberingIsClampedIntoTheRange_data() {
        QTest::addColumn<int>("minNumber");
        QTest::addColumn<int>("maxNumber");
        QTest::addColumn<int>("next");
        QTest::addColumn<QList<int>>("expected");
        // The range was narrowed during the day: the next number lies above it.
        QTest::newRow("above max") << 10 << 12 << 500 << QList<int>{12, 10, 11};
        QTest::newRow("below min") << 10 << 12 << 3 << QList<int>{10, 11, 12};
        // A range reaching past the three digits stops at 999.
        QTest::newRow("max beyond 999") << 998 << 1500 << 999 << QList<int>{999, 998, 999};
        QTest::newRow("max below min") << 50 << 20 << 50 << QList<int>{50, 50};
    }
    void numberingIsClampedIntoTheRange() {
        QFETCH(int, minNumber);
        QFETCH(int, maxNumber);
        QFETCH(int, next);
        QFETCH(QList<int>, expected);
        TQueueNode* q = MakeQueue(1, minNumber, maxNumber);
        q->NextNumber = next;
        QList<int> numbers;
        for (qsizetype i = 0; i < expected.size(); ++i)
            numbers << q->TakeNumber();
        QCOMPARE(numbers, expected);
    }

    void arrivalsSendTheWarnings() {
        TQueueNode* q = MakeQueue();
        TCandidate* a = q->NewCandidate(1, 1, {});
        q->NewCandidate(1, 1, {});
        QCOMPARE(F->Link.Alerts("001"), (QList<int>{1}));
        // All finished: the next ordinary arrival warns again, the one after does not.
        q->MarkDone(a->Number);
        q->MarkDone(a->Number + 1);
        F->Link.Texts.clear();
        q->NewCandidate(1, 1, {});
        q->NewCandidate(1, 1, {});
        QCOMPARE(F->Link.Alerts("001"), (QList<int>{1}));
    }

    void urgentCandidatesGoAheadOfOrdinaryWaitingOnes() {
        TQueueNode* q = MakeQueue();
        TCandidate* a = q->NewCandidate(1, 1, {});
        TCandidate* b = q->NewCandidate(1, 1, {});
        F->Link.Texts.clear();
        TCandidate* u1 = q->NewCandidate(4, 3, {});
        TCandidate* u2 = q->NewCandidate(4, 3, {});
        QCOMPARE(q->Candidates, (QList<TCandidate*>{u1, u2, a, b}));
        QCOMPARE(F->Link.Alerts("001"), (QList<int>{2, 2}));
        QCOMPARE(u2->CurrentPosition(), 2);
        QCOMPARE(b->CurrentPosition(), 4);
        QCOMPARE(b->FirstPosition, 2);
        QCOMPARE(u2->FirstPosition, 2);
        QCOMPARE(q->WaitingNumber(3), a->Number);
        QCOMPARE(q->WaitingNumber(5), -1);
        QCOMPARE(q->WaitingNumber(0), -1);
        // The alert text itself: marker, key name, kind byte.
        QCOMPARE(F->Link.Texts.first(), QByteArray("*pQ001\x02"));
    }

    void callNextChoosesOnceAndFinishesThePreviousCall() {
        TQueueNode* q = MakeQueue();
        TCandidate* a = q->NewCandidate(1, 1, {});
        TCandidate* b = q->NewCandidate(1, 1, {});
        F->Broadcasts.clear();
        F->Link.Texts.clear();
        q->CallNext();
        QCOMPARE(a->State, quint8(TCandidate::Chosen));
        QCOMPARE(F->Queues->CallList, (QList<TCandidate*>{a}));
        QCOMPARE(F->Link.Alerts("001"), (QList<int>{0}));
        QCOMPARE(F->Broadcasts.size(), size_t(1));
        QCOMPARE(F->Broadcasts[0], std::make_pair(q->Mask(), 12));
        // The second press while the first is still chosen does nothing at all.
        q->CallNext();
        QCOMPARE(b->State, quint8(TCandidate::Waiting));
        QCOMPARE(F->Broadcasts.size(), size_t(1));
        // Once called and the invitation over, the next press finishes it and chooses b.
        TQueueFixture::RunCall(F->Queues, a);
        q->CallNext();
        QCOMPARE(a->State, quint8(TCandidate::Done));
        QCOMPARE(b->State, quint8(TCandidate::Chosen));
        // Nothing to call: the previous is finished, nothing is chosen.
        TQueueFixture::RunCall(F->Queues, b);
        b->SetState(TCandidate::BeingServed);
        q->CallNext();
        QCOMPARE(TQueueFixture::States(q), (QList<int>{8, 8}));
    }

    void notComeIsCalledAgainAfterTheNextThree() {
        TQueueNode* q = MakeQueue(1, 100, 999, 10, 2);
        TCandidate* x = q->NewCandidate(1, 1, {});
        for (int i = 0; i < 7; ++i)
            q->NewCandidate(1, 1, {});
        int calls = 0;
        QList<int> places;
        while (x->State != TCandidate::NotCame && calls < 10) {
            // Everybody ahead of x is served quickly.
            for (int i = 0; i < q->IndexOf(x); ++i)
                if (!q->Candidates.at(i)->IsFinished())
                    q->MarkDone(q->Candidates.at(i)->Number);
            q->CallNext();
            QCOMPARE(x->State, quint8(TCandidate::Chosen));
            TQueueFixture::RunCall(F->Queues, x);
            ++calls;
            const int before = q->IndexOf(x);
            q->NotCome();
            if (x->State == TCandidate::WaitingAgain)
                places << q->IndexOf(x) - before;
        }
        QCOMPARE(calls, 3);
        QCOMPARE(x->State, quint8(TCandidate::NotCame));
        QCOMPARE(places, (QList<int>{3, 3}));
        QCOMPARE(x->CallCount, 3);
    }

    void notComeNearTheEndGoesToTheLastPlace() {
        TQueueNode* q = MakeQueue();
        for (int i = 0; i < 4; ++i)
            q->NewCandidate(1, 1, {});
        TCandidate* third = q->Candidates.at(2);
        q->Candidates.at(0)->State = TCandidate::Done;
        q->Candidates.at(1)->State = TCandidate::Done;
        q->CallNext();
        TQueueFixture::RunCall(F->Queues, third);
        F->Link.Texts.clear();
        q->NotCome();
        QCOMPARE(q->IndexOf(third), 3);
        QCOMPARE(third->State, quint8(TCandidate::WaitingAgain));
        // NotCome clears the warning and then calls the next one.
        QCOMPARE(F->Link.Alerts("001").first(), 0);
        QCOMPARE(q->Candidates.at(2)->State, quint8(TCandidate::Chosen));
        // Nobody called: only the warning is cleared.
        F->Broadcasts.clear();
        q->NotCome();
        QVERIFY(F->Broadcasts.empty());
    }

    void markDoneJoinsTheFinishedBlockAndReleasesTheDoor() {
        TQueueNode* q = MakeQueue();
        for (int i = 0; i < 5; ++i)
            q->NewCandidate(1, 1, {});
        q->MarkDone(100);
        const QList<int> before = TQueueFixture::Numbers(q);
        q->MarkDone(103);
        QCOMPARE(TQueueFixture::Numbers(q), (QList<int>{100, 103, 101, 102, 104}));
        QCOMPARE(TQueueFixture::States(q), (QList<int>{8, 8, 0, 0, 0}));
        QVERIFY(before != TQueueFixture::Numbers(q));
        QVERIFY(F->Devices.Doors.empty());
        q->Candidates.at(2)->State = TCandidate::Calling;
        q->MarkDone(101);
        QCOMPARE(F->Devices.Doors, (std::vector<std::pair<int, int>>{{1, 2}}));
        // Unknown numbers do nothing.
        F->Broadcasts.clear();
        q->MarkDone(555);
        q->MoveToEnd(555);
        q->MoveForward(555);
        q->DeleteCandidate(555);
        q->SetNote(555, u"x"_s);
        q->SetReason(555, 1);
        q->MoveToQueue(555, q);
        QVERIFY(F->Broadcasts.empty());
    }

    void moveToEndAndForward() {
        TQueueNode* q = MakeQueue();
        for (int i = 0; i < 4; ++i)
            q->NewCandidate(1, 1, {});
        TCandidate* urgent = q->NewCandidate(2, 3, {});
        // 104 (urgent), 100, 101, 102, 103
        q->CallNext();
        QCOMPARE(urgent->State, quint8(TCandidate::Chosen));
        // A chosen candidate keeps its state at the end.
        q->MoveToEnd(104);
        QCOMPARE(q->Candidates.last(), urgent);
        QCOMPARE(urgent->State, quint8(TCandidate::Chosen));
        // A called one waits again.
        q->Candidates.first()->State = TCandidate::WasCalled;
        q->MoveToEnd(100);
        QCOMPARE(q->Candidates.last()->Number, 100);
        QCOMPARE(q->Candidates.last()->State, quint8(TCandidate::WaitingAgain));
        // 101, 102, 103, 104 (chosen), 100
        QCOMPARE(TQueueFixture::Numbers(q), (QList<int>{101, 102, 103, 104, 100}));
        q->MoveForward(103);
        QCOMPARE(TQueueFixture::Numbers(q), (QList<int>{103, 101, 102, 104, 100}));
        F->Broadcasts.clear();
        // The chosen, the first waiting and an urgent one do not move.
        q->MoveForward(104);
        q->MoveForward(103);
        urgent->State = TCandidate::Waiting;
        q->MoveForward(104);
        QVERIFY(F->Broadcasts.empty());
        QCOMPARE(TQueueFixture::Numbers(q), (QList<int>{103, 101, 102, 104, 100}));
    }

    void deleteClearsTheDisplaysAndTheCallList() {
        TQueueNode* q = MakeQueue();
        q->NewCandidate(1, 1, {});
        q->NewCandidate(1, 1, {});
        q->CallNext();
        q->Candidates.first()->State = TCandidate::Calling;
        const TCandidate* gone = q->Candidates.first();
        q->DeleteCandidate(100);
        QCOMPARE(F->Devices.Freed, (QList<const TCandidate*>{gone}));
        QVERIFY(F->Queues->CallList.isEmpty());
        QCOMPARE(F->Devices.Cleared, (QList<int>{100}));
        QCOMPARE(F->Devices.Doors, (std::vector<std::pair<int, int>>{{1, 2}}));
        QCOMPARE(TQueueFixture::Numbers(q), (QList<int>{101}));
    }

    void moveToAnotherQueueKeepsTheNumber() {
        TQueueNode* doctor = MakeQueue(1, 100, 999);
        TQueueNode* nurse = MakeQueue(2, 10, 99);
        nurse->NewCandidate(2, 1, {});
        TCandidate* c = doctor->NewCandidate(1, 1, {});
        doctor->NewCandidate(1, 1, {});
        F->Link.Texts.clear();
        F->Broadcasts.clear();
        doctor->MoveToQueue(100, nurse);
        QCOMPARE(c->Queue, nurse);
        QCOMPARE(c->State, quint8(TCandidate::FromOther));
        QCOMPARE(TQueueFixture::Numbers(nurse), (QList<int>{10, 100}));
        QCOMPARE(TQueueFixture::Numbers(doctor), (QList<int>{101}));
        QCOMPARE(c->CurrentPosition(), 2);
        QCOMPARE(c->EnteredPosition, 2);
        // Its first position stays the one it had in its first queue.
        QCOMPARE(c->FirstPosition, 1);
        QCOMPARE(F->Broadcasts, (std::vector<std::pair<int, int>>{{2, 12}, {4, 12}}));
        // Later operations work in the new queue, statistics included.
        nurse->MarkDone(100);
        QCOMPARE(nurse->Statistics->Block.Entries[0].DayCount, 1);
        QCOMPARE(doctor->Statistics->Block.Entries[0].DayCount, 0);
    }

    void setReasonTakesTheButtonsPriority() {
        TQueueNode* q = MakeQueue();
        F->Queues->ButtonPriorityLookup = [](int number) -> std::optional<int> {
            if (number == 4)
                return 3;
            if (number == 1)
                return 1;
            return std::nullopt;
        };
        q->NewCandidate(1, 1, {});
        q->NewCandidate(1, 1, {});
        q->SetReason(101, 4);
        QCOMPARE(TQueueFixture::Numbers(q), (QList<int>{101, 100}));
        QCOMPARE(q->Candidates.first()->Reason, quint8(4));
        q->SetReason(101, 1);
        QCOMPARE(TQueueFixture::Numbers(q), (QList<int>{100, 101}));
        // No such button: only the reason changes.
        q->SetReason(100, 7);
        QCOMPARE(q->Candidates.first()->Kind, quint8(1));
        QCOMPARE(q->Candidates.first()->Reason, quint8(7));
        q->SetNote(100, QString(35, u'x'));
        QCOMPARE(q->Candidates.first()->Note.size(), 30);
    }

    void setReasonReadsTheButtonFromTheStore() {
        TQueueNode* q = MakeQueue();
        // A button "003" of priority 3 below the buttons node.
        TSetupNode* buttons = F->Tree->ButtonsNode;
        {
            TRegistry reg;
            QVERIFY(reg.OpenKey(buttons->KeyPath() + u"\\003"_s, true));
            reg.WriteInteger(u"Priority"_s, 3);
        }
        struct TButton : TSetupNode {
            TButton(TSetupTree* t, TSetupNode* p) : TSetupNode(t, p) {
                Kind = 2;
                Editable = true;
            }
            QString ClassName() const override { return u"TButton"_s; }
        };
        buttons->ChildClass = TSetupNode::ClassOf<TButton>();
        buttons->LoadChildren();
        QCOMPARE(F->Queues->ButtonPriority(3), std::optional<int>(3));
        QCOMPARE(F->Queues->ButtonPriority(5), std::optional<int>());
        q->NewCandidate(1, 1, {});
        q->SetReason(100, 3);
        QCOMPARE(q->Candidates.first()->Kind, quint8(3));
    }

    void trimKeepsCountOutFinishedCandidates() {
        TQueueNode* q = MakeQueue(1, 100, 999, 10);
        for (int i = 0; i < 12; ++i)
            q->NewCandidate(1, 1, {});
        for (int i = 0; i < 11; ++i)
            CallAndFinishInvitation(q);
        // Ten have been finished by CallNext; the eleventh is the called one.
        QCOMPARE(q->Candidates.size(), 12);
        CallAndFinishInvitation(q);
        // The eleventh finished drops the oldest one.
        QCOMPARE(q->Candidates.size(), 11);
        QCOMPARE(q->Candidates.first()->Number, 101);
        QCOMPARE(F->Devices.Cleared, (QList<int>{100}));
    }

    void emptyQueueKeepsTheNumbering() {
        TQueueNode* q = MakeQueue();
        q->NewCandidate(1, 1, {});
        q->CallNext();
        q->EmptyQueue();
        QVERIFY(q->Candidates.isEmpty());
        QVERIFY(F->Queues->CallList.isEmpty());
        QCOMPARE(q->TakeNumber(), 101);
    }

    void openingAndClosing() {
        TQueueNode* q = MakeQueue();
        MakeQueue(3);
        QVERIFY(q->Active);
        F->Broadcasts.clear();
        q->SetActive(true);
        QVERIFY(F->Broadcasts.empty());
        QCOMPARE(F->Devices.Restarts, 0);
        q->SetActive(false);
        QVERIFY(!q->Active);
        QCOMPARE(q->ShownImage, q->InactiveImageIndex);
        QCOMPARE(F->Broadcasts, (std::vector<std::pair<int, int>>{{2 + 8, 4}}));
        QCOMPARE(F->Devices.Restarts, 1);
    }

    void settingsAndChangingRooms() {
        const QString key = RootKeyPath(0) + u"\\Queues\\001"_s;
        {
            TRegistry reg;
            reg.OpenKey(key, true);
            reg.WriteInteger(u"Return Time"_s, 15);
            reg.WriteInteger(u"Unabled Action"_s, 0);
            reg.OpenKey(key + u"\\ChangingRooms\\ChangingRoomA"_s, true);
            reg.WriteBool(u"RoomEnabled"_s, false);
            reg.OpenKey(key + u"\\ChangingRooms\\ChangingRoomB"_s, true);
            reg.WriteBool(u"RoomEnabled"_s, true);
            reg.WriteInteger(u"HWNumber"_s, 1);
        }
        TQueueNode* q = MakeQueue(1, 100, 999, 5, 3);
        QCOMPARE(q->ReturnTime, 15);
        QCOMPARE(q->CountOut, 5);
        QCOMPARE(q->RepeatTime, 3);
        // Room B counts only while room A is enabled.
        QVERIFY(!q->RoomB.Enabled);
        {
            TRegistry reg;
            reg.OpenKey(key + u"\\ChangingRooms\\ChangingRoomA"_s, true);
            reg.WriteBool(u"RoomEnabled"_s, true);
            reg.WriteInteger(u"DoorSensor"_s, 2);
            reg.WriteInteger(u"HWNumber"_s, 0);
        }
        q->Reload();
        QVERIFY(q->RoomA.Enabled);
        QCOMPARE(q->RoomA.DoorSensor, quint8(2));
        QVERIFY(q->RoomB.Enabled);
        QCOMPARE(q->RoomB.HWNumber, 1);
        // Missing values fall back to the defaults on every load.
        {
            TRegistry reg;
            reg.OpenKey(key, true);
            reg.DeleteValue(u"Count Out"_s);
        }
        q->Reload();
        QCOMPARE(q->CountOut, 10);
    }

    void fixedChildrenAndTicketLayouts() {
        TQueueNode::ChildClasses().Ticket = LayoutClass<0>();
        TQueueNode::ChildClasses().DenyTicket = LayoutClass<1>();
        TQueueNode::ChildClasses().TomorrowTicket = LayoutClass<2>();
        TQueueNode* q = MakeQueue();
        auto keys = [q] {
            QStringList list;
            for (const auto& c : q->Children())
                list << c->KeyName;
            return list;
        };
        QCOMPARE(keys(), (QStringList{u"Time Table"_s, u"Statistics"_s, u"Ticket"_s}));
        QVERIFY(q->TimeTable && q->Statistics && q->TicketLayout);
        QCOMPARE(q->NewCandidate(1, 1, {})->Layout, q->TicketLayout);
        QVERIFY(!q->RefusalCandidate);

        q->UnabledAction = 1;
        q->UpdateTicketNodes();
        QCOMPARE(keys().last(), u"Deny Ticket"_s);
        QVERIFY(q->RefusalCandidate);
        QCOMPARE(q->RefusalCandidate->Number, 0);
        QCOMPARE(q->RefusalCandidate->Layout, q->DenyLayout);
        {
            TRegistry reg;
            QVERIFY(reg.KeyExists(q->KeyPath() + u"\\Deny Ticket"_s));
        }
        q->UnabledAction = 2;
        q->UpdateTicketNodes();
        QCOMPARE(keys().last(), u"Tomorrow Ticket"_s);
        QVERIFY(!q->RefusalCandidate && !q->DenyLayout);
        {
            TRegistry reg;
            QVERIFY(!reg.KeyExists(q->KeyPath() + u"\\Deny Ticket"_s));
        }
        q->UnabledAction = 0;
        q->UpdateTicketNodes();
        QCOMPARE(keys().size(), 3);
        QVERIFY(!q->TomorrowLayout);
        TQueueNode::ChildClasses() = {};
    }

    void firstRunDefaultsCreateTheTwoQueuesOnce() {
        TQueuesNode::RegisterDefaults(*F->Tree);
        F->Tree->CreateDefaults();
        F->Tree->CreateDefaults();
        const QList<TQueueNode*> queues = F->Queues->Queues();
        QCOMPARE(queues.size(), 2);
        QCOMPARE(queues[0]->Caption, u"K lékaři"_s);
        QCOMPARE(queues[0]->MinNumber, 100);
        QCOMPARE(queues[0]->MaxNumber, 999);
        QCOMPARE(queues[1]->Caption, u"K sestře"_s);
        QCOMPARE(queues[1]->MinNumber, 10);
        QCOMPARE(queues[1]->MaxNumber, 99);
        for (TQueueNode* q : queues) {
            QCOMPARE(q->CountOut, 5);
            QCOMPARE(q->RepeatTime, 3);
        }
        QCOMPARE(*F->Queues->ChildKeys, (QStringList{u"001"_s, u"002"_s}));
        QCOMPARE(F->Queues->AllQueues(), 6);
        // A new queue from the menu takes the next number.
        QCOMPARE(F->Queues->AddNode()->KeyName, u"003"_s);
        // A start from the store finds them again.
        F->Start();
        QCOMPARE(F->Queues->Queues().size(), 3);
        QCOMPARE(F->Queues->QueueByMask(4)->Caption, u"K sestře"_s);
    }

    void invitationIsLoaded() {
        TRegistry reg;
        reg.OpenKey(F->Queues->KeyPath(), true);
        reg.WriteInteger(u"Invitation"_s, 50);
        F->Start();
        QCOMPARE(F->Queues->Invitation, 50);
        QCOMPARE(F->Queues->LastCalled, -1);
    }
};

QTEST_GUILESS_MAIN(TestQueue)
#include "tst_queue.moc"
