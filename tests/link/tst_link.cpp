// The computer link over real loopback sockets: a server tree and station trees in one
// process, each with its own configuration, time driven by ticks.

#include "support/testenv.h"

#include "app/wiring.h"
#include "engine/buttonsnode.h"
#include "engine/connectnode.h"
#include "engine/operatorside.h"
#include "engine/queuenode.h"
#include "engine/queuesnode.h"
#include "engine/setuptree.h"
#include "link/tcplink.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

quint16 FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class TFakeOperator : public IOperatorSide {
public:
    QList<QByteArray> Received;
    QList<int> States;
    int Hidden = 0;
    QList<bool> Restored;
    void ReceiveMessage(const QByteArray& text) override { Received << text; }
    void SetLinkState(int state) override { States << state; }
    void SetDevicesState(int) override {}
    void HideWindows() override { ++Hidden; }
    void RestoreWindows(bool wasConnected) override { Restored << wasConnected; }
    void MarkRunning() override {}
    void QuitIfStation() override {}
};

// One computer: its own configuration name, tree, operator side and engine log.
struct TComputer {
    TComputer(const QString& config, int type, quint16 port, const QString& allowed = {},
              bool realEngine = false) {
        SetConfigurationName(config);
        TRegistry reg;
        reg.OpenKey(RootKeyPath(0) + u"\\Connect"_s, true);
        reg.WriteInteger(u"ComputerType"_s, type);
        reg.WriteInteger(u"Port"_s, port);
        reg.WriteString(u"IPAddress"_s, u"127.0.0.1"_s);
        if (!allowed.isEmpty())
            reg.WriteString(u"AllowedStations"_s, allowed);
        RegisterSubsystems(Tree);
        Tree.Operator = &Operator;
        if (!realEngine)
            Tree.EngineSink = [this](const QByteArray& t) { Engine << t; };
        Tree.Start();
        Tree.Timer().stop(); // the test ticks
        Engine.clear();      // what the start asked for itself
        SetConfigurationName({});
    }
    ~TComputer() { Tree.Shutdown(); }
    TConnectNode& Link() { return *Tree.ConnectNode; }
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i)
            Tree.OnTimer();
    }
    TSetupTree Tree;
    TFakeOperator Operator;
    QList<QByteArray> Engine;
};

// Ticks both computers while waiting (bounded) for a condition.
template <class F>
bool TickUntil(F done, std::initializer_list<TComputer*> computers, int rounds = 300) {
    for (int i = 0; i < rounds; ++i) {
        if (done())
            return true;
        for (TComputer* c : computers)
            c->Tick();
        QTest::qWait(10);
    }
    return done();
}

} // namespace

class TestLink : public QObject {
    Q_OBJECT
private slots:
    void init() { Env = std::make_unique<TTestEnv>(); }
    void cleanup() {
        TQueuePorts::InstallLink(nullptr);
        Env.reset();
    }

    void stationFindsItsServerAndWorksThroughIt() {
        quint16 port = FreePort();
        TComputer station(u"S"_s, 2, port);
        QCOMPARE(station.Tree.TopNodes().size(), size_t(1));
        QVERIFY(TickUntil([&] { return station.Link().LinkState == 3; }, {&station}));
        QCOMPARE(TConnectNode::LinkStateText(3), u"Server nenalezen"_s);
        // It keeps trying once a second: "Hledám server" and "Server nenalezen" by turns.
        QVERIFY(TickUntil([&] { return station.Operator.States.count(3) >= 3; }, {&station}));
        QList<int> states = station.Operator.States;
        QCOMPARE(states.mid(states.indexOf(3), 4), (QList<int>{3, 1, 3, 1}));
        QVERIFY(station.Link().ErrorCount >= 1);

        TComputer server(u""_s, 1, port);
        QCOMPARE(server.Link().LinkState, int(TConnectNode::ServerRunning));
        QVERIFY(TickUntil([&] { return station.Link().LinkState == 2; }, {&station, &server}));
        QCOMPARE(station.Operator.Restored, QList<bool>{false});
        // Connected: the station asked for the full state.
        QVERIFY(TickUntil([&] { return server.Engine.contains("*pX"); }, {&server}, 100));

        // A station's command runs on the server as its own would.
        station.Tree.SendToEngine("*pD002");
        QVERIFY(TickUntil([&] { return server.Engine.contains("*pD002"); }, {&server}, 100));
        // A forward command is not taken for a keep-alive.
        station.Tree.SendToEngine("*pW002105");
        QVERIFY(TickUntil([&] { return server.Engine.contains("*pW002105"); }, {&server}, 100));
        // A keep-alive glued to a command counts and the command still runs.
        int keepAlives = server.Link().KeepAliveCount;
        station.Link().LinkTransport()->SendToServer("*pW*pO004");
        QVERIFY(TickUntil([&] { return server.Engine.contains("*pO004"); }, {&server}, 100));
        QCOMPARE(server.Link().KeepAliveCount, keepAlives + 1);

        // An engine broadcast reaches the server's own operators and the station's.
        QByteArray state("*pF002\x07K lek.r", 14);
        server.Tree.Distribute(state);
        QCOMPARE(server.Operator.Received.last(), state);
        QVERIFY(
            TickUntil([&] { return station.Operator.Received.contains(state); }, {&station}, 100));
        QCOMPARE(server.Link().SentCount, 1);

        // Keep-alives every 3 s are answered, so neither side drops the other.
        QVERIFY(TickUntil([&] { return server.Link().KeepAliveCount > keepAlives + 3; },
                          {&station, &server}, 300));
        QCOMPARE(server.Link().StationCount(), 1);
        QCOMPARE(station.Link().LinkState, int(TConnectNode::Connected));

        // The server shuts down: the station is told.
        server.Link().StopStations();
        QVERIFY(
            TickUntil([&] { return station.Operator.Received.contains("*pS"); }, {&station}, 100));
    }

    // With the real engine: a candidate entered by hand on a station appears on both, and the
    // station's "Další" calls it on the server.
    void stationCommandsRunTheServersEngine() {
        quint16 port = FreePort();
        TComputer server(u""_s, 1, port, {}, true);
        TComputer station(u"S"_s, 2, port);
        TQueuePorts::InstallLink(&server.Tree); // the engine's link is process-wide
        QVERIFY(TickUntil([&] { return station.Link().LinkState == 2; }, {&station, &server}));
        QVERIFY(server.Tree.QueuesNode && server.Tree.QueuesNode->ChildCount() == 2);
        station.Tree.SendToEngine("*pM1*pN000");
        auto hasCandidate = [](const TFakeOperator& op) {
            for (const QByteArray& t : op.Received)
                if (t.contains("*pR002"))
                    return true;
            return false;
        };
        QVERIFY(TickUntil([&] { return hasCandidate(station.Operator); }, {&station, &server}));
        QVERIFY(hasCandidate(server.Operator));
        auto* queue = server.Tree.QueuesNode->Child(0);
        QVERIFY(queue);
        station.Operator.Received.clear();
        station.Tree.SendToEngine("*pD002");
        QVERIFY(
            TickUntil([&] { return !station.Operator.Received.isEmpty(); }, {&station, &server}));
        QVERIFY(station.Operator.Received.join().contains("*pK002"));
    }

    void silentPeersAreClosedWithinFiveSeconds() {
        quint16 port = FreePort();
        TComputer server(u""_s, 1, port);
        QTcpSocket mute;
        mute.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(mute.waitForConnected(5000));
        QVERIFY(TickUntil([&] { return server.Link().StationCount() == 1; }, {&server}, 100));
        server.Tick(50); // stamped when accepted: not closed yet
        QCOMPARE(server.Link().StationCount(), 1);
        server.Tick(2);
        QCOMPARE(server.Link().StationCount(), 0);

        // A station whose server accepts but never speaks closes, then reconnects.
        QTcpServer deaf;
        QVERIFY(deaf.listen(QHostAddress::LocalHost, 0));
        TComputer station(u"S"_s, 2, deaf.serverPort());
        QVERIFY(TickUntil([&] { return station.Link().LinkState == 2; }, {&station}));
        station.Tick(51);
        QVERIFY(TickUntil([&] { return station.Link().LinkState == 3; }, {&station}, 100));
        QCOMPARE(station.Operator.Hidden, 1);
        QVERIFY(TickUntil([&] { return station.Link().LinkState == 2; }, {&station}));
        QCOMPARE(station.Operator.Restored, (QList<bool>{false, true}));
    }

    void bytesOneAtATimeArriveAsTheSameMessages() {
        quint16 port = FreePort();
        TComputer server(u""_s, 1, port);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(peer.waitForConnected(5000));
        QByteArray text("*pD002*pW*pW002105*pC004107N\x04*p!x*pR004");
        for (char c : text) {
            peer.write(&c, 1);
            peer.flush();
            QTest::qWait(1);
        }
        QVERIFY(TickUntil([&] { return server.Engine.join().size() >= text.size() - 3; }, {&server},
                          200));
        QCOMPARE(server.Engine.join(), QByteArray("*pD002*pW002105*pC004107N\x04*p!x*pR004"));
        QCOMPARE(server.Link().KeepAliveCount, 1);
    }

    void misbehavingPeersAreCutOff() {
        quint16 port = FreePort();
        TComputer server(u""_s, 1, port);
        QTcpSocket garbage;
        garbage.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(garbage.waitForConnected(5000));
        garbage.write("GET / HTTP/1.0\r\n\r\n");
        QVERIFY(TickUntil([&] { return garbage.state() == QAbstractSocket::UnconnectedState; },
                          {&server}, 200));
        QVERIFY(server.Engine.isEmpty());

        // An unfinished message waits for its rest; it is executed once whole.
        QTcpSocket slow;
        slow.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(slow.waitForConnected(5000));
        slow.write(QByteArray("*pC002105N\xff") + QByteArray(200, 'a'));
        QVERIFY(TickUntil([&] { return server.Link().StationCount() == 1; }, {&server}, 100));
        server.Tick(5);
        QTest::qWait(20);
        QVERIFY(server.Engine.isEmpty());
        slow.write(QByteArray(55, 'b'));
        QVERIFY(TickUntil([&] { return server.Engine.size() == 1; }, {&server}, 100));
        QCOMPARE(server.Engine.first().size(), 11 + 255);
        QCOMPARE(server.Link().ErrorCount, 1); // the garbage peer
    }

    void refusedStationsAreCounted() {
        quint16 port = FreePort();
        TComputer server(u""_s, 1, port, u"10.0.0.5"_s);
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(peer.waitForConnected(5000));
        QVERIFY(TickUntil([&] { return peer.state() == QAbstractSocket::UnconnectedState; },
                          {&server}, 200));
        QCOMPARE(server.Link().ErrorCount, 1);
        QCOMPARE(server.Link().StationCount(), 0);
    }

    void portInUseIsReported() {
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::Any, 0));
        TComputer server(u""_s, 1, squatter.serverPort());
        QCOMPARE(server.Link().LinkState, int(TConnectNode::PortFailed));
        QCOMPARE(TConnectNode::LinkStateText(4), u"Port nelze otevřít"_s);
    }

private:
    std::unique_ptr<TTestEnv> Env;
};

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
