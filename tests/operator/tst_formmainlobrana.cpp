// The main window: queue lists building the menu and the operator windows, hot keys, the tray
// hint, hiding for a lost server, and the order in which a text is handled.

#include "operator/formmainlobrana.h"
#include "operatortestkit.h"
#include "support/testenv.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class TstFormMainLobrana : public QObject {
    Q_OBJECT

    std::unique_ptr<TTestEnv> Env;
    std::unique_ptr<TFormMainLobrana> Main;
    QList<QByteArray> Sent;

    static QByteArray QueueList(int count) {
        QByteArray text = StationMessage::FullListMarker();
        for (int i = 1; i <= count; ++i)
            text += StationMessage::QueueName(1 << i, u"Q%1"_s.arg(i));
        return text;
    }
    QStringList MenuCaptions() const {
        QStringList captions;
        for (QAction* a : Main->ZobrazitFrontu->actions())
            captions << (a->isSeparator() ? u"-"_s : a->text());
        return captions;
    }

private slots:
    void init() {
        Env = std::make_unique<TTestEnv>();
        Main = std::make_unique<TFormMainLobrana>(nullptr);
        Sent.clear();
        Main->CommandSink = [this](const QByteArray& t) { Sent << t; };
    }
    void cleanup() {
        Main.reset();
        Env.reset();
    }

    void oneQueue() {
        Main->HotKeyPressed(1); // nothing known yet
        QVERIFY(Sent.isEmpty());
        QVERIFY(!Main->ZobrazitFrontu->menuAction()->isEnabled());
        Main->ReceiveMessage(QueueList(1));
        QCOMPARE(MenuCaptions(), QStringList({u"Q1"_s, u"-"_s, u"Všechny"_s}));
        QVERIFY(!Main->ActionAll->isEnabled());
        QCOMPARE(Main->FormClients().size(), 1);
        QCOMPARE(Main->FormClients().first()->windowTitle(), u"Fronta Q1"_s);
        QCOMPARE(Sent, QList<QByteArray>{"*pR002"});
        QVERIFY(Main->FindQueueSettings(2));
        Main->HotKeyPressed(1);
        QCOMPARE(Sent.last(), QByteArray("*pD002"));
    }

    void threeQueues() {
        Main->ReceiveMessage(QueueList(3));
        QCOMPARE(MenuCaptions(), QStringList({u"Q3"_s, u"Q2"_s, u"Q1"_s, u"-"_s, u"Všechny"_s}));
        QVERIFY(Main->ActionAll->isEnabled());
        QCOMPARE(Main->FormClients().size(), 4);
        TFormClient* all = Main->ClientFor(14);
        QVERIFY(all);
        QCOMPARE(all->windowTitle(), u"Fronta Všechny"_s);
        QCOMPARE(all->Stranky->count(), 4);
        QCOMPARE(Sent, QList<QByteArray>({"*pR002", "*pR004", "*pR008"}));
        // Every frame's move item has the three queues.
        QCOMPARE(Main->ClientFor(4)->FrameFor(4)->MenuItemChangeQueue->menu()->actions().size(), 3);

        // F2 chooses the second queue without sending; Invite then calls its next.
        Sent.clear();
        Main->HotKeyPressed(12);
        QVERIFY(Sent.isEmpty());
        Main->HotKeyPressed(1);
        Main->HotKeyPressed(3);
        QCOMPARE(Sent, QList<QByteArray>({"*pD004", "*pL004"}));

        // A later list rebuilds the menu only.
        Main->ReceiveMessage(QueueList(2));
        QCOMPARE(MenuCaptions(), QStringList({u"Q2"_s, u"Q1"_s, u"-"_s, u"Všechny"_s}));
        QCOMPARE(Main->FormClients().size(), 4);
        QVERIFY(!Main->FindQueueSettings(8));
    }

    void textsReachTheFrames() {
        Main->ReceiveMessage(QueueList(2));
        TFrameFronta* f = Main->ClientFor(2)->FrameFor(2);
        Main->ReceiveMessage(StationMessage::OpenedState(false) + QueueStateText(2, 9));
        QVERIFY(!Main->IsOpened());
        QVERIFY(Main->Aktivace->isEnabled());
        QVERIFY(!Main->Deaktivace->isEnabled());
        QCOMPARE(f->BackgroundColour(), TFrameFronta::ClosedRoomColour);
        QVERIFY(f->DalsiKn->isHidden());
        Main->ReceiveMessage(StationMessage::OpenedState(true) + QueueStateText(2, 9));
        QVERIFY(!f->DalsiKn->isHidden());
        QCOMPARE(f->DalsiKn->text(), u"Další 9"_s);
        // "*pS" and "*pV" end the handling: the frames see nothing of those texts.
        Main->ReceiveMessage(StationMessage::ShowWindows() + QueueStateText(2, 11));
        QCOMPARE(f->DalsiKn->text(), u"Další 9"_s);
        QVERIFY(Main->ClientFor(2)->isVisible());
        QVERIFY(Main->ClientFor(4)->isVisible());
        QVERIFY(!Main->ClientFor(6)->isVisible());
        // Garbage does no harm.
        Main->ReceiveMessage(QByteArray("*pX*pF0\xff*pK", 11));
        Main->ReceiveMessage(QByteArray());
    }

    void lostServer() {
        Main->ReceiveMessage(QueueList(1));
        TFormClient* c = Main->FormClients().first();
        c->show();
        Main->HideWindows();
        QVERIFY(!c->isVisible());
        QVERIFY(!Main->ZobrazitFrontu->menuAction()->isEnabled());
        Sent.clear();
        Main->RestoreWindows(true);
        QVERIFY(c->isVisible());
        QCOMPARE(Sent, QList<QByteArray>{"*pR002"});
        QVERIFY(Main->ZobrazitFrontu->menuAction()->isEnabled());
    }

    void trayHint_data() {
        QTest::addColumn<int>("link");
        QTest::addColumn<int>("devices");
        QTest::addColumn<QString>("hint");
        QTest::addColumn<bool>("warning");
        QTest::newRow("server") << 5 << 2 << u"Server lobrany je spuštěn"_s << false;
        QTest::newRow("searching") << 1 << 2 << u"Lobrana hledá server..."_s << true;
        QTest::newRow("connected") << 2 << 2 << u"Lobrana je připojena k serveru"_s << false;
        QTest::newRow("devices missing") << 7 << 1 << u"Skříňka či displej nepřipojeny"_s << true;
    }
    void trayHint() {
        QFETCH(int, link);
        QFETCH(int, devices);
        QFETCH(QString, hint);
        QFETCH(bool, warning);
        Main->SetDevicesState(devices);
        Main->SetLinkState(link);
        QCOMPARE(Main->TrayHint, hint);
        QCOMPARE(Main->TrayWarning, warning);
        // The menu is reachable with or without a notification area.
        QVERIFY(Main->Tray || Main->TrayStandIn);
    }

    void savesWindowsAtShutdown() {
        Main->ReceiveMessage(QueueList(2));
        Main->ClientFor(4)->show();
        Main->ShutdownWork();
        TRegistry reg(THive::User);
        QVERIFY(reg.OpenKey(RootKeyPath(2) + u"\\4"_s, false));
        QVERIFY(reg.ReadBool(u"Visible"_s));
        QVERIFY(reg.OpenKey(RootKeyPath(2) + u"\\2"_s, false));
        QVERIFY(!reg.ReadBool(u"Visible"_s, true));
        // The next program run shows the window again.
        Main = std::make_unique<TFormMainLobrana>(nullptr);
        Main->CommandSink = [](const QByteArray&) {};
        Main->ReceiveMessage(QueueList(2));
        QVERIFY(Main->ClientFor(4)->isVisible());
        QVERIFY(!Main->ClientFor(2)->isVisible());
        QCOMPARE(Main->HotKeyQueue, 4);
    }
};

QTEST_MAIN(TstFormMainLobrana)
#include "tst_formmainlobrana.moc"
