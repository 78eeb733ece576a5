// The reason buttons and the ticket issue.

#include "commands/commandfixture.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestButtons : public QObject {
    Q_OBJECT
    std::unique_ptr<TCommandFixture> F;
    // A stand-in for a print box node.
    std::unique_ptr<TTestItemNode> Box;
    std::unique_ptr<TRecordingCameras> Cameras;

    TQueueNode* Doctor() { return F->Queues->QueueByNumber(1); }

private slots:
    void init() {
        F = std::make_unique<TCommandFixture>();
        F->Start(true);
        F->Defaults();
        Cameras = std::make_unique<TRecordingCameras>(F->Ports);
        TEnginePorts::InstallCameras(Cameras.get());
        Box = std::make_unique<TTestItemNode>(F->Tree.get(), nullptr);
        Box->KeyName = u"001"_s;
        F->Clear();
    }
    void cleanup() {
        Box.reset();
        F.reset();
        Cameras.reset();
    }

    void defaultsAndLookups() {
        // The first-run step creates the four buttons once.
        F->Tree->AddDefaultsStep(0, [](TSetupTree&) {});
        TButtonsNode::RegisterDefaults(*F->Tree);
        F->Tree->CreateDefaults();
        QCOMPARE(F->Buttons->Buttons().size(), 4);
        // After a restart the values come from the store.
        F->Start(true);
        const QList<TButtonNode*> b = F->Buttons->Buttons();
        QCOMPARE(b.size(), 4);
        QCOMPARE(b[3]->Caption, u"Akutní ošetř."_s);
        QCOMPARE(b[3]->Position, 3);
        QCOMPARE(int(b[3]->Priority), 3);
        QCOMPARE(b[3]->QueueNumber, 1);
        QCOMPARE(b[3]->MinTime, 10);
        QCOMPARE(b[3]->MaxTime, 15);
        QVERIFY(b[3]->Active);
        QCOMPARE(F->Buttons->ButtonAt(1)->Caption, u"Sestra"_s);
        QCOMPARE(F->Buttons->ButtonByNumber(3)->Caption, u"Odběry Injek."_s);
        QCOMPARE(F->Buttons->ButtonNameAt(2), u"Odběry Injek."_s);
        QCOMPARE(F->Buttons->ButtonNameAt(5), QString());
        QCOMPARE(F->Buttons->ButtonQueue(b[1]), F->Queues->QueueByNumber(2));
        QCOMPARE(int(F->Buttons->InactiveMask()), 0xf0);
    }

    void inactiveMask() {
        TButtonNode* nurse = F->Buttons->ButtonAt(1);
        TRegistry reg;
        QVERIFY(nurse->OpenKey(reg));
        reg.WriteInteger(u"Priority"_s, 2); // reserved: shown as active all the same
        nurse->Load(reg);
        QVERIFY(F->Ports.Restarts > 0);
        QCOMPARE(int(F->Buttons->InactiveMask()), 0xf0);
        reg.WriteInteger(u"Priority"_s, 0);
        nurse->Load(reg);
        QVERIFY(!nurse->Active);
        QCOMPARE(int(F->Buttons->InactiveMask()), 0xf2);
        Doctor()->SetActive(false);
        QCOMPARE(int(F->Buttons->InactiveMask()), 0xfb);
        reg.WriteInteger(u"Queue"_s, 7); // no such queue
        nurse->Load(reg);
        F->Host.Open = false;
        QCOMPARE(int(F->Buttons->InactiveMask()), 0xff);
    }

    void pressIssuesTicket() {
        F->Buttons->PressButton(0, Box.get());
        QCOMPARE(Doctor()->Candidates.size(), 1);
        TCandidate* c = Doctor()->Candidates.first();
        QCOMPARE(c->Number, 100);
        QCOMPARE(int(c->Reason), 1);
        QCOMPARE(int(c->Kind), 1);
        QCOMPARE(c->Note, QString());
        QCOMPARE(F->Ports.Log,
                 (QStringList{u"beep 001"_s, u"last 001 100"_s, u"photo %1"_s.arg(c->PhotoId),
                              u"alert 001 %1 100"_s.arg(IEngineAudio::AlertPrintTicket),
                              u"ticket 001 100 0"_s}));
        // The warning that a candidate came, then the queue's broadcast.
        QCOMPARE(F->Ports.Texts.first(), QByteArray("*pQ001\x01"));
        QCOMPARE(F->Letters(F->Ports.Texts.last()), QByteArray("FKCRE"));
        // Without "PrintTicket": created, broadcast and photographed, but nothing printed.
        F->Clear();
        F->Ports.PrintTicket = false;
        F->Buttons->PressButton(0, Box.get());
        QCOMPARE(Doctor()->Candidates.size(), 2);
        QCOMPARE(F->Ports.Log.size(), 3);
        QVERIFY(F->Ports.Log[2].startsWith(u"photo"_s));
    }

    void urgentGoesAhead() {
        F->Buttons->PressButton(0, nullptr);
        F->Buttons->PressButton(0, nullptr);
        F->Clear();
        F->Buttons->PressButton(3, nullptr);
        QCOMPARE(Doctor()->Candidates.first()->Number, 102);
        QCOMPARE(int(Doctor()->Candidates.first()->Kind), 3);
        QCOMPARE(F->Ports.Texts.first(), QByteArray("*pQ001\x02"));
    }

    void manualEntry() {
        QVERIFY(F->Execute("*pN001"));
        TQueueNode* nurse = F->Queues->QueueByNumber(2);
        QCOMPARE(nurse->Candidates.size(), 1);
        QCOMPARE(nurse->Candidates.first()->Note, u"vložen ručně"_s);
        QCOMPARE(int(nurse->Candidates.first()->Reason), 2);
        // Created, broadcast and photographed; no beep and no ticket.
        QCOMPARE(F->Ports.Log.size(), 1);
        QVERIFY(F->Ports.Log.first().startsWith(u"photo"_s));
        QCOMPARE(F->Letters(F->Ports.Texts.last()), QByteArray("FKCRE"));
    }

    void pressOnEmptyPositionTeachesButton() {
        F->Buttons->PressButton(6, Box.get());
        TButtonNode* taught = F->Buttons->ButtonAt(6);
        QVERIFY(taught);
        QCOMPARE(taught->KeyName, u"005"_s);
        QCOMPARE(taught->Caption, u"Tlačítko s důvodem 005"_s);
        QCOMPARE(int(taught->Priority), 0);
        QVERIFY(!taught->Active);
        QCOMPARE(F->Ports.Log, QStringList{u"configure 001"_s});
        QVERIFY(Doctor()->Candidates.isEmpty());
        // It is stored.
        F->Start(true);
        QCOMPARE(F->Buttons->ButtonAt(6)->Caption, u"Tlačítko s důvodem 005"_s);
        // A press of it now only plays the box's alert.
        F->Clear();
        F->Buttons->PressButton(6, Box.get());
        QCOMPARE(F->Ports.Log,
                 QStringList{u"alert 001 %1 0"_s.arg(IEngineAudio::AlertNothingButton)});
        // Positions outside the box teach nothing.
        F->Buttons->PressButton(8, Box.get());
        F->Buttons->PressButton(-1, nullptr);
        QVERIFY(F->Execute("*pN999"));
        QCOMPARE(F->Buttons->Buttons().size(), 5);
    }

    void pressesThatIssueNothing() {
        // The waiting room closed: the camera view, whatever the button.
        F->Host.Open = false;
        F->Buttons->PressButton(0, Box.get());
        F->Buttons->PressButton(6, Box.get());
        QCOMPARE(F->Host.CameraViewShown, 1);
        QVERIFY(Doctor()->Candidates.isEmpty());
        F->Host.Open = true;
        F->Clear();
        // A reserved button does nothing at all.
        TButtonNode* b = F->Buttons->ButtonAt(0);
        TRegistry reg;
        QVERIFY(b->OpenKey(reg));
        reg.WriteInteger(u"Priority"_s, 2);
        b->Load(reg);
        F->Clear();
        F->Buttons->PressButton(0, Box.get());
        QVERIFY(F->Ports.Log.isEmpty());
        QVERIFY(F->Ports.Texts.isEmpty());
        // A button whose queue does not exist issues nothing.
        reg.WriteInteger(u"Priority"_s, 1);
        reg.WriteInteger(u"Queue"_s, 5);
        b->Load(reg);
        F->Buttons->PressButton(0, Box.get());
        QVERIFY(F->Ports.Log.isEmpty());
        QVERIFY(Doctor()->Candidates.isEmpty());
    }

    void closedQueue_data() {
        QTest::addColumn<int>("unabledAction");
        QTest::addColumn<bool>("withBox");
        QTest::addColumn<bool>("refusal");
        QTest::newRow("sound only") << 0 << true << false;
        QTest::newRow("refusal ticket") << 1 << true << true;
        QTest::newRow("refusal without box") << 1 << false << false;
        QTest::newRow("tomorrow layout") << 2 << true << false;
    }
    void closedQueue() {
        QFETCH(int, unabledAction);
        QFETCH(bool, withBox);
        QFETCH(bool, refusal);
        Doctor()->UnabledAction = quint8(unabledAction);
        Doctor()->UpdateTicketNodes();
        Doctor()->SetActive(false);
        F->Clear();
        F->Buttons->PressButton(0, withBox ? Box.get() : nullptr);
        QStringList expected{u"alert 001 %1 0"_s.arg(IEngineAudio::AlertQueueFull)};
        if (refusal)
            expected << u"last 001 0"_s << u"ticket 001 0 0"_s;
        QCOMPARE(F->Ports.Log, expected);
        QVERIFY(Doctor()->Candidates.isEmpty());
        QVERIFY(F->Ports.Texts.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestButtons)
#include "tst_buttons.moc"
