// Frames, CRC and the per-device queues, without a port.
#include "devices/crc16.h"
#include "devices/serialport.h"
#include "devices/vantrelpacket.h"

#include <QtTest>

using namespace lobrana::devices;

class TestVantrelPacket : public QObject {
    Q_OBJECT
private slots:
    void crcCheckValue();
    void crcModes();
    void frameBytes();
    void splitsLongData();
    void replaceDropsOnlyQueued();
    void refusesLongDataWithReplace();
    void pendingResendAndTimeout();
    void cyclicTakesTurns();
};

void TestVantrelPacket::crcCheckValue() {
    QCOMPARE(Crc16(QByteArrayView("123456789")), std::uint16_t(0x4B37));
    QCOMPARE(Crc16(QByteArray::fromHex("03105700")), std::uint16_t(0x953F));
}

void TestVantrelPacket::crcModes() {
    QByteArray b = QByteArray::fromHex("0310570000 00");
    auto* p = reinterpret_cast<std::uint8_t*>(b.data());
    QCOMPARE(Crc16(p, 4, 0), std::uint16_t(0x953F));
    QCOMPARE(b.right(2), QByteArray::fromHex("0000")); // mode 0 stores nothing
    QCOMPARE(Crc16(p, 4, 1), std::uint16_t(0x953F));
    QCOMPARE(b.mid(4, 2), QByteArray::fromHex("953f")); // high byte first
    QCOMPARE(Crc16(p, 4, 2), std::uint16_t(1));
    b[5] = 0x3E;
    QCOMPARE(Crc16(p, 4, 2), std::uint16_t(0));
}

void TestVantrelPacket::frameBytes() {
    TVantrelPacket packet;
    packet.Address = 3;
    packet.Sequence = 0x10;
    packet.Command = 'W';
    QCOMPARE(packet.Frame(), QByteArray::fromHex("2a 03 10 57 00 95 3f"));
    packet.Data = QByteArray(255, '*'); // start marks inside data are just data
    const QByteArray frame = packet.Frame();
    QCOMPARE(frame.size(), 262);
    QCOMPARE(std::uint8_t(frame[4]), std::uint8_t(255));
    QByteArray copy = frame;
    QCOMPARE(Crc16(reinterpret_cast<std::uint8_t*>(copy.data()) + 1, 259, 2), std::uint16_t(1));
}

void TestVantrelPacket::splitsLongData() {
    TVantrelDevice device(5, 1000);
    device.AddPacket('T', QByteArray(600, 'x'), false);
    device.AddPacket('W', {}, false);
    QCOMPARE(device.Queue.Count(), 4);
    QList<qsizetype> sizes;
    for (int i = 0; i < 4; ++i) {
        auto p = device.Queue.TakeFirst();
        QCOMPARE(p->Address, std::uint8_t(5));
        QCOMPARE(p->List, &device.Queue);
        sizes.append(p->Data.size());
    }
    QCOMPARE(sizes, QList<qsizetype>({255, 255, 90, 0}));
}

void TestVantrelPacket::replaceDropsOnlyQueued() {
    TVantrelDevice device(1, 1000);
    device.AddPacket('D', QByteArray("first"), true);
    // The first one goes out and is pending: replace must not touch it.
    auto choice = device.NextPacket(7, 1'000'000);
    QVERIFY(choice.transmission);
    device.AddPacket('D', QByteArray("second"), true);
    device.AddPacket('I', QByteArray("keep"), false);
    device.AddPacket('D', QByteArray("third"), true);
    QCOMPARE(device.Queue.DataOf('D'), QList<QByteArray>{QByteArray("third")});
    QCOMPARE(device.Queue.DataOf('I'), QList<QByteArray>{QByteArray("keep")});
    QCOMPARE(device.PendingCopy()->Data, QByteArray("first"));
}

void TestVantrelPacket::refusesLongDataWithReplace() {
    TVantrelDevice device(1, 1000);
    device.AddPacket('T', QByteArray("old"), false);
    try {
        device.AddPacket('T', QByteArray(256, 'x'), true);
        QFAIL("no error");
    } catch (const EComError& e) {
        QCOMPARE(e.Message(), QStringLiteral("Ilegal combination (Data Length 256 and cache"));
    }
    QVERIFY_THROWS_EXCEPTION(EComError, device.AddCyclicPacket('D', QByteArray(300, 'x'), true));
    QCOMPARE(device.Queue.Count(), 1); // nothing queued, nothing dropped
    QCOMPARE(device.CyclicQueue.Count(), 0);
    device.AddPacket('T', QByteArray(255, 'x'), true); // 255 is fine
    QCOMPARE(device.Queue.Count(), 1);
}

void TestVantrelPacket::pendingResendAndTimeout() {
    TVantrelDevice device(2, 1000);
    device.AddPacket('B', QByteArray("1"), false);
    device.AddPacket('B', QByteArray("2"), false);
    qint64 t = 5'000'000;
    auto c = device.NextPacket(10, t);
    QVERIFY(c.transmission);
    QCOMPARE(c.transmission->Sequence, std::uint8_t(10));
    QCOMPARE(c.transmission->List, nullptr);
    QVERIFY(!device.NextPacket(11, t + 1000).transmission); // not yet: 1000 is not more
    int timeouts = 0;
    for (int resend = 1; resend <= 5; ++resend) {
        t += 1001;
        c = device.NextPacket(std::uint8_t(10 + resend), t);
        QVERIFY(c.transmission);
        QCOMPARE(c.transmission->Data, QByteArray("1")); // the queued one waits
        QCOMPARE(c.transmission->Tries, resend);
        if (c.timedOut) {
            ++timeouts;
            QCOMPARE(resend, 3);
        }
    }
    QCOMPARE(timeouts, 1);
    // A reply to an earlier transmission no longer matches; the latest one does.
    TVantrelPacket reply;
    reply.Address = 2;
    reply.Sequence = 14;
    QVERIFY(!device.MatchReply(reply));
    reply.Sequence = 15;
    reply.Address = 3;
    QVERIFY(!device.MatchReply(reply));
    reply.Address = 2;
    auto request = device.MatchReply(reply);
    QVERIFY(request);
    QCOMPARE(request->Data, QByteArray("1"));
    c = device.NextPacket(16, t);
    QCOMPARE(c.transmission->Data, QByteArray("2"));
}

void TestVantrelPacket::cyclicTakesTurns() {
    TVantrelDevice device(0, 1000);
    device.AddCyclicPacket('W', {}, true);
    device.AddCyclicPacket('D', QByteArray("d"), true);
    device.AddCyclicPacket('W', {}, true); // replaced: still one W, now behind D
    QCOMPARE(device.CyclicQueue.Count(), 2);
    qint64 t = 9'000'000;
    QStringList order;
    TVantrelPacket reply;
    reply.Address = 0;
    for (int i = 0; i < 4; ++i) {
        auto c = device.NextPacket(std::uint8_t(i), t);
        QVERIFY(c.transmission);
        order.append(QString(QChar::fromLatin1(c.transmission->Command)));
        reply.Sequence = std::uint8_t(i);
        QVERIFY(device.MatchReply(reply));
        QVERIFY(!device.NextPacket(99, t + 1000).transmission); // idle for the period first
        t += 1001;
    }
    QCOMPARE(order, QStringList({QStringLiteral("D"), QStringLiteral("W"), QStringLiteral("D"),
                                 QStringLiteral("W")}));
    QCOMPARE(device.CyclicQueue.Count(), 2);
    // A one-shot packet goes before the cyclic ones, and a new cyclic packet goes out at once.
    device.AddPacket('B', {}, false);
    auto c = device.NextPacket(50, t - 1000);
    QCOMPARE(c.transmission->Command, 'B');
    reply.Sequence = 50;
    QVERIFY(device.MatchReply(reply));
    device.AddCyclicPacket('I', {}, false);
    c = device.NextPacket(51, t - 999);
    QVERIFY(c.transmission);
}

QTEST_GUILESS_MAIN(TestVantrelPacket)
#include "tst_vantrelpacket.moc"
