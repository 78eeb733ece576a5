// The queue frame, the operator window and the candidate dialog, driven through state texts.

#include "operator/candidateproperties.h"
#include "operator/hotkeyedit.h"
#include "operatortestkit.h"
#include "support/testenv.h"
#include "support/testnodes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <memory>

using namespace Qt::StringLiterals;

class TstFrameFronta : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestEnv> Env;
    TRecordingHost Host;
    std::unique_ptr<TFormClient> Form;
    TScriptedPrompt Prompt;

    TFrameFronta* MakeFrame(int queues = 1, int mask = 2) {
        Host.SetQueues(queues);
        Form = std::make_unique<TFormClient>(mask, &Host);
        Form->AddQueuePages(mask, false);
        Form->BuildMoveMenus();
        return Form->FrameFor(2);
    }
    static QByteArray Reasons() {
        return StationMessage::ButtonInfo(1, 1, u"Recept"_s) +
               StationMessage::ButtonInfo(2, 3, u"Bolest"_s) +
               StationMessage::ButtonInfo(3, 0, u"Vypnuto"_s);
    }

private slots:
    void init() {
        Env = std::make_unique<TTestEnv>();
        Host = TRecordingHost();
        Prompt = TScriptedPrompt();
        TUserPrompt::Install(&Prompt);
    }
    void cleanup() {
        Form.reset();
        TUserPrompt::Install(nullptr);
        Env.reset();
    }

    void numberButtons_data() {
        QTest::addColumn<bool>("opened");
        QTest::addColumn<int>("next");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("caption");
        QTest::newRow("being called") << true << -105 << true << false << u"Další 105"_s;
        QTest::newRow("waiting") << true << 7 << true << true << u"Další 7"_s;
        QTest::newRow("none") << true << 0 << false << false << u"Další ??"_s;
        QTest::newRow("room closed") << false << 7 << false << false << u"Další ??"_s;
    }
    void numberButtons() {
        QFETCH(bool, visible);
        QFETCH(bool, enabled);
        QFETCH(QString, caption);
        QFETCH(bool, opened);
        QFETCH(int, next);
        TFrameFronta* f = MakeFrame();
        Host.Opened = opened;
        f->ReceiveText(QueueStateText(2, next, 12));
        QCOMPARE(!f->DalsiKn->isHidden(), visible);
        if (!f->DalsiKn->isHidden()) {
            QCOMPARE(f->DalsiKn->isEnabled(), enabled);
            QCOMPARE(f->DalsiKn->text(), caption);
            QCOMPARE(f->OdmitnoutKn->text(), u"12 Nepřišel"_s);
        }
        // A state of another queue changes nothing.
        f->ReceiveText(QueueStateText(4, 55));
        if (!f->DalsiKn->isHidden())
            QCOMPARE(f->DalsiKn->text(), caption);
        QCOMPARE(TFrameFronta::WithNumber(u"Další"_s, -3), u"Další3"_s);
    }

    void closedBanners_data() {
        QTest::addColumn<bool>("opened");
        QTest::addColumn<bool>("queueOpen");
        QTest::addColumn<QString>("banner");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<bool>("canOpen");
        QTest::addColumn<bool>("canClose");
        QTest::newRow("all open") << true << true << QString() << QColor() << false << true;
        QTest::newRow("queue closed") << true << false << u"   Fronta je uzavřena"_s
                                      << TFrameFronta::ClosedQueueColour << true << false;
        QTest::newRow("room closed") << false << true << u"  Lobrana je uzavřena"_s
                                     << TFrameFronta::ClosedRoomColour << false << false;
        QTest::newRow("both closed") << false << false << u"  Lobrana je uzavřena"_s
                                     << TFrameFronta::ClosedRoomColour << false << false;
    }
    void closedBanners() {
        QFETCH(bool, canOpen);
        QFETCH(bool, canClose);
        QFETCH(bool, opened);
        QFETCH(bool, queueOpen);
        QFETCH(QString, banner);
        QFETCH(QColor, colour);
        TFrameFronta* f = MakeFrame();
        Form->show();
        Host.Opened = opened;
        f->ReceiveText(StationMessage::OpenedState(opened) + QueueStateText(2, 5, 0, queueOpen));
        QCOMPARE(f->QueueClosed->isVisible(), !banner.isEmpty());
        if (!banner.isEmpty())
            QCOMPARE(f->QueueClosed->text(), banner);
        QCOMPARE(f->BackgroundColour(),
                 colour.isValid() ? colour : QApplication::palette().color(QPalette::Button));
        QCOMPARE(Form->TabColour(0), colour);
        QCOMPARE(f->ActionOpenQueue->isEnabled(), canOpen);
        QCOMPARE(f->ActionCloseQueue->isEnabled(), canClose);
        SaveShot(Form.get(), u"formclient_"_s +
                                 QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_'));
        // Without the list no banner is shown.
        f->SetDetailed(false);
        QVERIFY(!f->QueueClosed->isVisible());
        QVERIFY(f->ListHeightDelta() < 0);
    }

    void door_data() {
        QTest::addColumn<int>("lock");
        QTest::addColumn<int>("door");
        QTest::addColumn<bool>("button");
        QTest::addColumn<QString>("text");
        QTest::newRow("no lock") << 0 << 0 << false << QString();
        QTest::newRow("locked") << 1 << 0 << true << QString();
        QTest::newRow("unlocked") << 2 << 0 << false << u"Zámek odemčen"_s;
        QTest::newRow("door open wins") << 1 << 2 << false << u"Dveře otevřeny"_s;
    }
    void door() {
        QFETCH(int, lock);
        QFETCH(int, door);
        QFETCH(bool, button);
        QFETCH(QString, text);
        TFrameFronta* f = MakeFrame();
        Form->show();
        f->ReceiveText(QueueStateText(2, 5, 0, true, lock, door));
        QCOMPARE(f->OtevritKn->isVisible(), button);
        QCOMPARE(f->StavDveriLb->isVisible(), !text.isEmpty());
        if (!text.isEmpty())
            QCOMPARE(f->StavDveriLb->text(), text);
    }

    void listRowsAndColours() {
        TFrameFronta* f = MakeFrame();
        f->ReceiveText(
            Reasons() +
            CandidateListText(
                2, {{1, 0, 3}, {2, 2, 3}, {3, 8, 1}, {4, 0, 2, 1, u"syn"_s}, {5, 0, 1, 9}}));
        QCOMPARE(f->Fronta->topLevelItemCount(), 5);
        QCOMPARE(f->Fronta->topLevelItem(0)->background(0).color(), TFrameFronta::UrgentRowColour);
        QCOMPARE(f->Fronta->topLevelItem(1)->background(0).color(), TFrameFronta::CalledRowColour);
        QCOMPARE(f->Fronta->topLevelItem(2)->foreground(0).color(),
                 TFrameFronta::FinishedTextColour);
        QCOMPARE(f->Fronta->topLevelItem(3)->background(0).color(),
                 TFrameFronta::ReservedRowColour);
        QCOMPARE(f->Fronta->topLevelItem(3)->text(TFrameFronta::ColReason), u"Recept/syn"_s);
        QCOMPARE(f->Fronta->topLevelItem(4)->text(TFrameFronta::ColReason),
                 QString()); // unknown reason
        QCOMPARE(f->Fronta->topLevelItem(2)->text(TFrameFronta::ColState), u"Vyřízen"_s);
        QCOMPARE(f->Fronta->topLevelItem(0)->text(TFrameFronta::ColCalled), u"- - -"_s);
        // A reason with priority 0 is never offered for a manual entry.
        QStringList offered;
        for (QAction* a : f->MenuItemNewCandidate->actions())
            offered << a->text();
        QCOMPARE(offered, QStringList({u"Recept"_s, u"Bolest"_s}));
        f->MenuItemNewCandidate->actions().at(1)->trigger();
        QCOMPARE(Host.Sent.last(), QByteArray("*pN001"));

        // A list of another queue, a list without its end and malformed bytes leave the rows.
        f->ReceiveText(CandidateListText(4, {{9, 0}}));
        f->ReceiveText(CandidateListText(2, {{9, 0}}, false));
        f->ReceiveText(QByteArray("*pK002\x01*pC002*pR002") + QByteArray(40, '\xff'));
        QCOMPARE(f->Fronta->topLevelItemCount(), 5);
        QCOMPARE(f->Fronta->topLevelItem(0)->text(0), u"1"_s);
    }

    void scrollsToCalledRow() {
        TFrameFronta* f = MakeFrame();
        Form->show();
        QList<TRowSpec> rows;
        for (int i = 0; i < 40; ++i)
            rows.append({i + 1, i < 10 ? 8 : (i == 10 ? 2 : 0)});
        f->ReceiveText(CandidateListText(2, rows));
        QCOMPARE(f->Fronta->verticalScrollBar()->value(), 8);
        SaveShot(Form.get(), u"formclient_scrolled"_s);
        // Near the end it stops at the last full page.
        rows[10].State = 8;
        rows[38].State = 2;
        f->ReceiveText(CandidateListText(2, rows));
        QCOMPARE(f->Fronta->verticalScrollBar()->value(),
                 f->Fronta->verticalScrollBar()->maximum());
        QVERIFY(f->Fronta->verticalScrollBar()->maximum() < 36);
    }

    void candidateMenu_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<bool>("backwards");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QString>("waitCaption");
        QTest::newRow("waiting") << 0 << 1 << 0 << true << true << true
                                 << u"Posunout v lobraně zpět"_s;
        QTest::newRow("urgent waiting")
            << 0 << 3 << 0 << false << true << true << u"Posunout v lobraně zpět"_s;
        QTest::newRow("waiting last")
            << 5 << 2 << 1 << true << false << true << u"Posunout v lobraně zpět"_s;
        QTest::newRow("called") << 2 << 1 << 0 << false << true << true
                                << u"Vrátit zpět do lobrany"_s;
        QTest::newRow("not came") << 7 << 1 << 0 << false << true << false
                                  << u"Vrátit zpět do lobrany"_s;
        QTest::newRow("done last")
            << 8 << 1 << 1 << false << false << false << u"Vrátit zpět do lobrany"_s;
    }
    void candidateMenu() {
        QFETCH(int, state);
        QFETCH(int, kind);
        QFETCH(bool, forward);
        QFETCH(bool, backwards);
        QFETCH(bool, done);
        QFETCH(int, row);
        QFETCH(QString, waitCaption);
        TFrameFronta* f = MakeFrame(2);
        QList<TRowSpec> rows{{1, 0}, {2, 0}};
        rows[row] = {10 + row, state, kind};
        f->ReceiveText(CandidateListText(2, rows));
        QVERIFY(!f->ActionDeleteCandidate->isEnabled());
        QVERIFY(!f->MenuItemChangeQueue->isEnabled());
        f->SelectRow(row);
        QVERIFY(f->ActionDeleteCandidate->isEnabled());
        QVERIFY(f->ActionPropertiesCandidate->isEnabled());
        QVERIFY(f->MenuItemChangeQueue->isEnabled());
        QVERIFY(!f->MenuItemWaitAgain->menuAction()->isEnabled());
        QCOMPARE(f->ActionForwardCandidate->isEnabled(), forward);
        QCOMPARE(f->ActionBackwardsCandidate->isEnabled(), backwards);
        QCOMPARE(f->ActionAlreadyDoneCandidate->isEnabled(), done);
        QCOMPARE(f->MenuItemWaitAgain->title(), waitCaption);
        QCOMPARE(f->MenuItemWaitAgain->actions().at(0)->text(),
                 waitCaption.startsWith(u"Posunout") ? u"o   5 min."_s : u"na   5 min."_s);
        // A command clears the selection and disables the row actions again.
        f->ActionDeleteCandidate->trigger();
        QCOMPARE(Host.Sent.last(), StationMessage::DeleteCandidate(2, 10 + row));
        QCOMPARE(f->SelectedRow(), -1);
        QVERIFY(!f->ActionDeleteCandidate->isEnabled());
    }

    void commands() {
        TFrameFronta* f = MakeFrame(1);
        f->ReceiveText(QueueStateText(2, 5, 4, true, 1) + CandidateListText(2, {{21, 0}, {22, 0}}));
        f->DalsiKn->click();
        f->OdmitnoutKn->click();
        f->OtevritKn->click();
        f->SelectRow(0);
        f->ActionForwardCandidate->trigger();
        f->SelectRow(0);
        f->ActionBackwardsCandidate->trigger();
        f->ActionCloseQueue->trigger();
        QCOMPARE(Host.Sent, QList<QByteArray>({"*pD002", "*pO002", "*pL002", "*pW002021",
                                               "*pB002021", "*pQ002C"}));
        Host.Sent.clear();
        // Deleting asks first; only Yes sends.
        Prompt.Answer = false;
        f->SelectRow(1);
        f->ActionDeleteCandidate->trigger();
        QCOMPARE(Prompt.Asked, QStringList{u"Chcete smazat 22?"_s});
        QVERIFY(Host.Sent.isEmpty());
        Prompt.Answer = true;
        f->ActionDeleteCandidate->trigger();
        QCOMPARE(Host.Sent, QList<QByteArray>{"*pE002022"});
        // With one queue there is no move item at all.
        QVERIFY(!f->PopupMenuForCandidate->actions().contains(f->MenuItemChangeQueue));
    }

    void moveMenu_data() {
        QTest::addColumn<int>("queues");
        QTest::newRow("two") << 2;
        QTest::newRow("three") << 3;
    }
    void moveMenu() {
        QFETCH(int, queues);
        TFrameFronta* f = MakeFrame(queues);
        f->ReceiveText(CandidateListText(2, {{31, 0}}));
        QVERIFY(f->PopupMenuForCandidate->actions().contains(f->MenuItemChangeQueue));
        f->SelectRow(0);
        if (queues == 2) {
            QVERIFY(!f->MenuItemChangeQueue->menu());
            QCOMPARE(f->MenuItemChangeQueue->text(), u"Přesunout do fronty: Fronta 2"_s);
            f->MenuItemChangeQueue->trigger();
            QCOMPARE(Host.Sent.last(), QByteArray("*pC002031Q004"));
        } else {
            QMenu* sub = f->MenuItemChangeQueue->menu();
            QVERIFY(sub);
            QCOMPARE(sub->actions().size(), 3);
            QVERIFY(!sub->actions().at(0)->isEnabled());
            QVERIFY(sub->actions().at(2)->isEnabled());
            QCOMPARE(sub->actions().at(2)->text(), u"Fronta 3"_s);
            sub->actions().at(2)->trigger();
            QCOMPARE(Host.Sent.last(), QByteArray("*pC002031Q008"));
        }
    }

    void moveTargetsUseRealMasks() {
        // After a queue was deleted from the middle, list positions and masks differ: the move
        // goes to the queue the operator chose.
        Host.Entries = {{2, u"A"_s, 1}, {8, u"C"_s, 2}};
        Form = std::make_unique<TFormClient>(2, &Host);
        Form->AddQueuePages(2, false);
        Form->BuildMoveMenus();
        TFrameFronta* f = Form->FrameFor(2);
        f->ReceiveText(CandidateListText(2, {{5, 0}}));
        f->SelectRow(0);
        f->MenuItemChangeQueue->trigger();
        QCOMPARE(Host.Sent.last(), QByteArray("*pC002005Q008"));
    }

    void formPagesAndState() {
        Host.SetQueues(2);
        Form = std::make_unique<TFormClient>(6, &Host);
        Form->AddQueuePages(6, true);
        QCOMPARE(Form->Stranky->count(), 3);
        QCOMPARE(Form->Stranky->tabText(0), u"Fronta 1"_s);
        QCOMPARE(Form->Stranky->tabText(2), u"Nastavení"_s);
        QCOMPARE(Host.Sent, QList<QByteArray>({"*pR002", "*pR004"}));
        Form->PassMessage(StationMessage::QueueName(4, u"Sestra"_s));
        QCOMPARE(Form->Stranky->tabText(1), u"Sestra"_s);
        // Hints name the F-key first with two queues.
        QCOMPARE(Form->FrameFor(2)->DalsiKn->toolTip(),
                 u"prvně Shift Ctrl F1\npotom Shift Ctrl D"_s);

        // The setup page forces the detail mode only while it is shown.
        Form->show();
        Form->CheckBoxPodrobne->setChecked(false);
        QVERIFY(!Form->FrameFor(2)->Fronta->isVisible());
        Form->Stranky->setCurrentIndex(1);
        Form->Stranky->setCurrentIndex(2);
        QCOMPARE(Form->SetupQueue, 4);
        QVERIFY(Form->CheckBoxPodrobne->isChecked());
        QVERIFY(Form->HKFronta->isVisible());
        QCOMPARE(Form->HKFronta->text(), u"F2"_s);
        SaveShot(Form.get(), u"formclient_setup"_s);
        Form->Stranky->setCurrentIndex(0);
        QVERIFY(!Form->CheckBoxPodrobne->isChecked());

        Form->move(120, 80);
        Form->SaveState();
        TRegistry reg(THive::User);
        QVERIFY(reg.OpenKey(RootKeyPath(2) + u"\\6"_s, false));
        QCOMPARE(reg.ReadBool(u"Visible"_s), true);
        QCOMPARE(reg.ReadBool(u"Full"_s, true), false);
        QCOMPARE(reg.ReadInteger(u"Left"_s), Form->pos().x());

        auto again = std::make_unique<TFormClient>(6, &Host);
        again->RestoreState();
        QVERIFY(again->isVisible());
        QVERIFY(!again->CheckBoxPodrobne->isChecked());

        // A station that loses its server hides the visible window and shows it again.
        Form->HideAndMark();
        QVERIFY(!Form->isVisible());
        Form->ShowIfMarked();
        QVERIFY(Form->isVisible());
    }

    void oneQueueSetupPage() {
        TFrameFronta* f = MakeFrame(1);
        QCOMPARE(f->DalsiKn->toolTip(), u"Shift Ctrl D"_s);
        Form->show();
        Form->Stranky->setCurrentIndex(1);
        QVERIFY(!Form->HKFronta->isVisible());
        // Alt with the Invite key becomes the modifiers of every row.
        QTest::keyClick(Form->Invite, Qt::Key_K, Qt::AltModifier);
        QCOMPARE(Form->Invite->Key(), 75);
        QCOMPARE(Form->HSOtevrit->text(), u"Alt"_s);
        Form->SaveData();
        const THotKeys keys = THotKeys::Read();
        QCOMPARE(keys.Shifts, 1);
        QCOMPARE(keys.Invite, 75);
        QCOMPARE(keys.NotBecome, 78);
        QCOMPARE(Host.Reloads, 1);
    }

    void keyNames_data() {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("ctrl shift d") << 6 << 68 << u"Shift Ctrl D"_s;
        QTest::newRow("shift alone") << 4 << 16 << u"Shift"_s;
        QTest::newRow("keypad 5") << 0 << 101 << u"Numeric keypad 5"_s;
        QTest::newRow("keypad decimal") << 0 << 110 << u"Numeric keypad ,"_s;
        QTest::newRow("keypad 108") << 0 << 108 << u"Numeric keypad 108"_s;
        QTest::newRow("f12 alt") << 1 << 123 << u"Alt F12"_s;
        QTest::newRow("page up") << 0 << 33 << u"Page Up"_s;
        QTest::newRow("unknown") << 0 << 250 << u"250"_s;
    }
    void keyNames() {
        QFETCH(int, flags);
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(HotKeyNames::Combination(flags, code), text);
    }

    void propertiesDialog() {
        TFrameFronta* f = MakeFrame(1);
        QDir().mkpath(ProgramFolder() + u"/Fotky"_s);
        QImage photo(40, 30, QImage::Format_RGB32);
        photo.fill(Qt::blue);
        QVERIFY(photo.save(ProgramFolder() + u"/Fotky/77.jpg"_s, "JPEG"));
        f->ReceiveText(Reasons() +
                       CandidateListText(2, {{41, 0, 1, 1, u"a"_s, 77}, {42, 0, 1, 1, {}, 78}}));

        // Never called: "- - -" throughout; the photo loads; nothing changed, nothing sent.
        TCandidateProperties d;
        d.ShowCandidate(f->RowRecord(0));
        d.SetReasons(f->Reasons(), 1);
        QCOMPARE(d.LOpakovan->text(), u"- - -"_s);
        QCOMPARE(d.LPoprve->text(), u"- - -"_s);
        QCOMPARE(d.LOdbaven->text(), u"- - -"_s);
        QCOMPARE(d.LPriority->text(), u"Běžný"_s);
        QVERIFY(!d.Foto->isHidden());
        QVERIFY(!d.IsChanged());
        d.CBDuvody->setCurrentIndex(1);
        QCOMPARE(d.LPriority->text(), u"Naléhavý"_s);
        QCOMPARE(d.LPriority->palette().color(QPalette::Window), TFrameFronta::UrgentRowColour);
        QVERIFY(d.IsChanged());
        TCandidateProperties missing;
        missing.ShowCandidate(f->RowRecord(1));
        QVERIFY(missing.Foto->isHidden());
        QVERIFY(!missing.NoFoto->isHidden());

        // Through the frame: only what changed is sent.
        struct TCase {
            int Reason;
            QString Note;
            bool Accept;
            QList<QByteArray> Sent;
        };
        const QList<TCase> cases{
            {1, u"a"_s, true, {}},
            {2, u"a"_s, true, {StationMessage::SetReason(2, 41, 2)}},
            {1, u"b"_s, true, {StationMessage::SetNote(2, 41, u"b"_s)}},
            {2, u"b"_s, false, {}},
        };
        for (const TCase& c : cases) {
            Host.Sent.clear();
            QTimer::singleShot(0, this, [c] {
                auto* dialog =
                    qobject_cast<TCandidateProperties*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                dialog->CBDuvody->setCurrentIndex(dialog->CBDuvody->findData(c.Reason));
                dialog->EPoznamka->setText(c.Note);
                c.Accept ? dialog->accept() : dialog->reject();
            });
            f->SelectRow(0);
            f->ShowProperties();
            QCOMPARE(Host.Sent, c.Sent);
        }
    }
};

QTEST_MAIN(TstFrameFronta)
#include "tst_framefronta.moc"
