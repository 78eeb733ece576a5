// The bus master against the simulated devices over a pseudo-terminal pair.
#include "busfixture.h"

#include <thread>

using namespace lobrana::devices;
using lobrana::devsim::TDisplayConfig;
using lobrana::devsim::TSimConfig;

namespace {

constexpr int kWait = 5000;

QString Hex(const char* hex) {
    return QString::fromLatin1(QByteArray::fromHex(hex).toHex(' '));
}

struct Replies {
    QList<QByteArray> data;
    QList<char> commands;
    QList<QByteArray> requests;
};

void RecordReplies(TVantrelThread& master, Replies& r) {
    master.SetOnReply([&r](TVantrelThread*, TVantrelDevice*, const QByteArray& data, char command,
                           const TVantrelPacket& request) {
        r.data.append(data);
        r.commands.append(command);
        r.requests.append(request.Data);
    });
}

} // namespace

class TestVantrelThread : public QObject {
    Q_OBJECT
private slots:
    void requestBytesOnTheWire();
    void badCrcIgnoredAndResent();
    void garbageAndBadFramesSkipped();
    void oneDeviceWaitsOthersGoOn();
    void replaceLeavesLaterPacket();
    void longDataGoesInPieces();
    void repeatedMessageAnsweredOnce();
    void silentDeviceTimesOutOnce();
    void handlersMayChangeDevices();
    void destroyedInsideHandler();
    void destroyedWhileDelivering();
    void vanishedPortReported();
    void openFailureText();
};

void TestVantrelThread::requestBytesOnTheWire() {
    TSimConfig config;
    config.displays = {TDisplayConfig{3, 2}};
    TBusFixture bus(config);
    auto device = bus.master->Devices.AddDevice(3, 1000);
    for (int i = 0; i < 17; ++i)
        device->AddPacket('W', {}, false);
    QVERIFY(QTest::qWaitFor([&] { return bus.log.Frames(QStringLiteral("rx"), 3).size() >= 17; },
                            kWait));
    const auto frames = bus.log.Frames(QStringLiteral("rx"), 3);
    for (int i = 0; i < 17; ++i)
        QCOMPARE(frames[i].value(QStringLiteral("seq")).toInt(), i);
    QCOMPARE(frames[16].value(QStringLiteral("raw")).toString(), Hex("2a0310570095 3f"));
}

void TestVantrelThread::badCrcIgnoredAndResent() {
    TBusFixture bus;
    Replies replies;
    RecordReplies(*bus.master, replies);
    auto device = bus.master->Devices.AddDevice(0, 1000);
    QVERIFY(bus.Command(QStringLiteral("corrupt 1")));
    device->AddPacket('B', QByteArray::fromHex("010600"), false);
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const QJsonObject& o : bus.log.All())
                if (o.value(QStringLiteral("dir")).toString() == u"tx" &&
                    !o.value(QStringLiteral("crc")).toBool())
                    return true;
            return false;
        },
        kWait));
    QTest::qWait(150);
    QVERIFY(replies.commands.isEmpty());
    QCOMPARE(bus.log.Frames(QStringLiteral("rx"), 0, QStringLiteral("B")).size(), 1);
    QVERIFY(device->HasPending());

    bus.clock.Advance(1001); // about one second after the send
    QVERIFY(QTest::qWaitFor([&] { return replies.commands.size() == 1; }, kWait));
    const auto sent = bus.log.Frames(QStringLiteral("rx"), 0, QStringLiteral("B"));
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent[1].value(QStringLiteral("seq")).toInt(),
             sent[0].value(QStringLiteral("seq")).toInt() + 1);
    QCOMPARE(replies.commands[0], 'A');
    QCOMPARE(replies.requests[0], QByteArray::fromHex("010600"));
    QVERIFY(!device->HasPending());
}

void TestVantrelThread::garbageAndBadFramesSkipped() {
    TBusFixture bus;
    Replies replies;
    RecordReplies(*bus.master, replies);
    auto device = bus.master->Devices.AddDevice(0, 1000);
    QVERIFY(bus.Command(QStringLiteral("garbage 40")));
    device->AddPacket('B', QByteArray("1"), false);
    QVERIFY(QTest::qWaitFor([&] { return replies.commands.size() == 1; }, kWait));
    QCOMPARE(bus.log.Frames(QStringLiteral("rx"), 0, QStringLiteral("B")).size(), 1); // no resend

    // A bad frame, then a good one: a device message right behind a corrupted reply.
    int messages = 0;
    bus.master->SetOnMessage(
        [&](TVantrelThread*, const TVantrelPacket& m, std::uint8_t&, char& command) {
            messages += m.Command == 'K';
            command = 'A';
        });
    QVERIFY(bus.Command(QStringLiteral("delay 100")));
    QVERIFY(bus.Command(QStringLiteral("corrupt 1")));
    device->AddPacket('B', QByteArray("2"), false);
    QVERIFY(QTest::qWaitFor(
        [&] { return bus.log.Frames(QStringLiteral("rx"), 0, QStringLiteral("B")).size() == 2; },
        kWait));
    QVERIFY(bus.Command(QStringLiteral("press 3")));
    QVERIFY(QTest::qWaitFor([&] { return messages == 1; }, kWait));
    QCOMPARE(replies.commands.size(), 1); // the corrupted reply was not taken
    QVERIFY(bus.Command(QStringLiteral("delay 0")));
    bus.clock.Advance(1001);
    QVERIFY(QTest::qWaitFor([&] { return replies.commands.size() == 2; }, kWait));
}

void TestVantrelThread::oneDeviceWaitsOthersGoOn() {
    TBusFixture bus;
    Replies replies;
    RecordReplies(*bus.master, replies);
    QVERIFY(bus.Command(QStringLiteral("delay 200")));
    auto a = bus.master->Devices.AddDevice(0, 1000);
    auto b = bus.master->Devices.AddDevice(1, 1000);
    a->AddPacket('B', QByteArray("a1"), false);
    a->AddPacket('B', QByteArray("a2"), false);
    b->AddPacket('S', QByteArray("b1"), false);
    b->AddPacket('S', QByteArray("b2"), false);
    QVERIFY(QTest::qWaitFor([&] { return replies.commands.size() == 4; }, kWait));
    const auto all = bus.log.All();
    auto rxIndex = [&](int addr, const char* data) {
        for (int i = 0; i < all.size(); ++i)
            if (all[i].value(QStringLiteral("dir")).toString() == u"rx" &&
                all[i].value(QStringLiteral("addr")).toInt() == addr &&
                all[i].value(QStringLiteral("data")).toString() ==
                    QString::fromLatin1(QByteArray(data).toHex(' ')))
                return i;
        return -1;
    };
    auto replyIndex = [&](int rx) {
        const int seq = all[rx].value(QStringLiteral("seq")).toInt();
        const int addr = all[rx].value(QStringLiteral("addr")).toInt();
        for (int i = rx + 1; i < all.size(); ++i)
            if (all[i].value(QStringLiteral("dir")).toString() == u"tx" &&
                all[i].value(QStringLiteral("seq")).toInt() == seq &&
                all[i].value(QStringLiteral("addr")).toInt() == addr)
                return i;
        return -1;
    };
    const int a1 = rxIndex(0, "a1"), a2 = rxIndex(0, "a2"), b1 = rxIndex(1, "b1");
    QVERIFY(a1 >= 0 && a2 >= 0 && b1 >= 0);
    QVERIFY(b1 > a1 && b1 < a2);  // the second device gets its packet in between
    QVERIFY(a2 > replyIndex(a1)); // the second packet of A waits for the first reply
    QCOMPARE(replies.requests, QList<QByteArray>({"a1", "b1", "a2", "b2"}));
}

void TestVantrelThread::replaceLeavesLaterPacket() {
    TBusFixture bus;
    Replies replies;
    RecordReplies(*bus.master, replies);
    QVERIFY(bus.Command(QStringLiteral("silent on 0")));
    auto device = bus.master->Devices.AddDevice(0, 1000);
    device->AddPacket('W', {}, false);
    QVERIFY(QTest::qWaitFor([&] { return device->HasPending(); }, kWait));
    device->AddPacket('B', QByteArray("old"), true);
    device->AddPacket('B', QByteArray("new"), true);
    QVERIFY(bus.Command(QStringLiteral("silent off 0")));
    bus.clock.Advance(1001);
    QVERIFY(QTest::qWaitFor([&] { return replies.commands.size() == 2; }, kWait));
    QCOMPARE(replies.requests, QList<QByteArray>({QByteArray(), QByteArray("new")}));
    const auto b = bus.log.Frames(QStringLiteral("rx"), 0, QStringLiteral("B"));
    QCOMPARE(b.size(), 1);
}

void TestVantrelThread::longDataGoesInPieces() {
    TBusFixture bus;
    Replies replies;
    RecordReplies(*bus.master, replies);
    QVERIFY(bus.Command(QStringLiteral("delay 30")));
    auto device = bus.master->Devices.AddDevice(0, 1000);
    QByteArray data;
    for (int i = 0; i < 600; ++i)
        data.append(char(i % 251));
    device->AddPacket('T', data, false);
    QVERIFY(QTest::qWaitFor([&] { return replies.commands.size() == 3; }, kWait));
    QCOMPARE(replies.requests.join(), data);
    const auto t = bus.log.Frames(QStringLiteral("rx"), 0, QStringLiteral("T"));
    QCOMPARE(t.size(), 3);
    QCOMPARE(t[0].value(QStringLiteral("len")).toInt(), 255);
    QCOMPARE(t[1].value(QStringLiteral("len")).toInt(), 255);
    QCOMPARE(t[2].value(QStringLiteral("len")).toInt(), 90);
    const auto replyTx = bus.log.Frames(QStringLiteral("tx"), 0);
    QCOMPARE(replyTx.size(), 3);
    QVERIFY(bus.log.IndexOf(t[1]) > bus.log.IndexOf(replyTx[0]));
    QVERIFY(bus.log.IndexOf(t[2]) > bus.log.IndexOf(replyTx[1]));
}

void TestVantrelThread::repeatedMessageAnsweredOnce() {
    TBusFixture bus;
    bus.master->Devices.AddDevice(0, 1000);
    QList<TVantrelPacket> messages;
    bus.master->SetOnMessage(
        [&](TVantrelThread*, const TVantrelPacket& m, std::uint8_t& data, char& command) {
            messages.append(m);
            QCOMPARE(data, std::uint8_t(0));
            data = 7;
            command = 'A';
        });
    QVERIFY(bus.Command(QStringLiteral("dup")));
    QVERIFY(bus.Command(QStringLiteral("press 2")));
    QVERIFY(QTest::qWaitFor(
        [&] {
            int answers = 0;
            for (const QJsonObject& o : bus.log.Frames(QStringLiteral("rx"), 0))
                answers += o.value(QStringLiteral("cmd")).toString() == u"A" ||
                           o.value(QStringLiteral("cmd")).toString() == u"N";
            return answers == 2;
        },
        kWait));
    QTest::qWait(50);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].Command, 'K');
    QCOMPARE(messages[0].Data, QByteArray::fromHex("04"));
    const auto k = bus.log.Frames(QStringLiteral("tx"), 0, QStringLiteral("K"));
    QCOMPARE(k.size(), 2);
    const int seq = k[0].value(QStringLiteral("seq")).toInt();
    const auto a = bus.log.Frames(QStringLiteral("rx"), 0, QStringLiteral("A"));
    const auto n = bus.log.Frames(QStringLiteral("rx"), 0, QStringLiteral("N"));
    QCOMPARE(a.size(), 1);
    QCOMPARE(n.size(), 1);
    QCOMPARE(a[0].value(QStringLiteral("seq")).toInt(), seq);
    QCOMPARE(a[0].value(QStringLiteral("data")).toString(), Hex("07"));
    QCOMPARE(n[0].value(QStringLiteral("seq")).toInt(), seq);
    QCOMPARE(n[0].value(QStringLiteral("data")).toString(), Hex("04")); // its own data
    QCOMPARE(bus.master->LastMessageSequence(), seq);
}

void TestVantrelThread::silentDeviceTimesOutOnce() {
    TBusFixture bus;
    QVERIFY(bus.Command(QStringLiteral("silent on")));
    int timeouts = 0;
    int timeoutTries = -1;
    bus.master->SetOnTimeout([&](TVantrelThread*, TVantrelDevice* device, const TVantrelPacket& p) {
        ++timeouts;
        timeoutTries = p.Tries;
        QCOMPARE(device->Address, std::uint8_t(0));
    });
    auto device = bus.master->Devices.AddDevice(0, 1000);
    device->AddPacket('B', QByteArray("first"), false);
    device->AddPacket('B', QByteArray("waits"), false);
    device->AddCyclicPacket('W', {}, true);
    auto sent = [&] { return bus.log.Frames(QStringLiteral("rx"), 0).size(); };
    QVERIFY(QTest::qWaitFor([&] { return sent() == 1; }, kWait));
    for (int resend = 1; resend <= 5; ++resend) {
        QTest::qWait(20);
        QCOMPARE(sent(), qsizetype(resend)); // nothing before the second is over
        bus.clock.Advance(1001);
        QVERIFY(QTest::qWaitFor([&] { return sent() == resend + 1; }, kWait));
        QTest::qWait(20);
        QCOMPARE(timeouts, resend >= 3 ? 1 : 0);
    }
    QCOMPARE(timeoutTries, 3);
    // Every transmission was the first packet, each under a new sequence number.
    const auto frames = bus.log.Frames(QStringLiteral("rx"), 0);
    for (int i = 0; i < frames.size(); ++i) {
        QCOMPARE(frames[i].value(QStringLiteral("data")).toString(), Hex("6669727374"));
        if (i > 0)
            QCOMPARE(frames[i].value(QStringLiteral("seq")).toInt(),
                     frames[i - 1].value(QStringLiteral("seq")).toInt() + 1);
    }
}

void TestVantrelThread::handlersMayChangeDevices() {
    TBusFixture bus;
    auto first = bus.master->Devices.AddDevice(0, 1000);
    std::shared_ptr<TVantrelDevice> second;
    int replies = 0;
    bus.master->SetOnReply([&](TVantrelThread* thread, TVantrelDevice* device, const QByteArray&,
                               char, const TVantrelPacket&) {
        ++replies;
        if (device == first.get()) {
            // The node changes its address: remove the device, add another, queue for it.
            thread->Devices.RemoveDevice(device);
            second = thread->Devices.AddDevice(1, 1000);
            second->AddPacket('S', QByteArray("x"), true);
        }
    });
    first->AddPacket('W', {}, false);
    QVERIFY(QTest::qWaitFor([&] { return replies == 2; }, kWait));
    QCOMPARE(bus.master->Devices.Count(), 1);
}

void TestVantrelThread::destroyedInsideHandler() {
    TBusFixture bus;
    auto device = bus.master->Devices.AddDevice(0, 1000);
    bool called = false;
    bus.master->SetOnReply(
        [&](TVantrelThread*, TVantrelDevice*, const QByteArray&, char, const TVantrelPacket&) {
            called = true;
            bus.master.reset(); // the owner closes the port from inside the event
        });
    device->AddPacket('W', {}, false);
    QVERIFY(QTest::qWaitFor([&] { return called; }, kWait));
    QVERIFY(!bus.master);
    QTest::qWait(20); // the deferred clean-up runs
}

void TestVantrelThread::destroyedWhileDelivering() {
    TBusFixture bus;
    auto device = bus.master->Devices.AddDevice(0, 1000);
    bool called = false;
    bus.master->SetOnReply([&](TVantrelThread*, TVantrelDevice*, const QByteArray&, char,
                               const TVantrelPacket&) { called = true; });
    device->AddPacket('W', {}, false);
    // Without running the event loop: the bus thread now waits for the main thread.
    for (int i = 0; i < 500 && bus.log.Frames(QStringLiteral("tx"), 0).isEmpty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    QVERIFY(!bus.log.Frames(QStringLiteral("tx"), 0).isEmpty());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    bus.master.reset(); // must not wait for the handler forever
    QTest::qWait(50);
    QVERIFY(!called); // the events were cleared first
}

void TestVantrelThread::vanishedPortReported() {
    TBusFixture bus;
    int lost = 0;
    bus.master->SetOnPortLost([&](TVantrelThread*, const QString&) { ++lost; });
    QStringList errors;
    bus.master->SetErrorLog([&](const QString& text) { errors.append(text); });
    QVERIFY(QTest::qWaitFor([&] { return bus.master->LoopRunning(); }, kWait));
    bus.sim.reset(); // the adapter is pulled out
    QVERIFY(QTest::qWaitFor([&] { return lost == 1; }, kWait));
    QVERIFY(QTest::qWaitFor([&] { return !bus.master->LoopRunning(); }, kWait));
    QTest::qWait(50);
    QCOMPARE(lost, 1);
    QCOMPARE(errors.size(), 1);
}

void TestVantrelThread::openFailureText() {
    try {
        TVantrelThread master(QStringLiteral("COM77"));
        QFAIL("opened");
    } catch (const EComError& e) {
        QVERIFY2(e.Message().startsWith(QStringLiteral("TVantrelThread-COM77:")),
                 qPrintable(e.Message()));
    }
}

QTEST_GUILESS_MAIN(TestVantrelThread)
#include "tst_vantrelthread.moc"
