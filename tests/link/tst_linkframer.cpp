#include "link/linkframer.h"
#include "link/tcplink.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray Text(const char* s) {
    return QByteArray(s);
}

QByteArray Candidate(char fill) {
    QByteArray m("*pR002");
    m += QByteArray(102, fill);
    return m;
}

QList<QByteArray> FeedAll(TLinkFramer::Direction dir, const QByteArray& text, int chunk) {
    TLinkFramer framer(dir);
    QList<QByteArray> out;
    for (qsizetype i = 0; i < text.size(); i += chunk)
        if (framer.Feed(text.mid(i, chunk), out) != TLinkFramer::Ok)
            return {"failed"};
    framer.Flush(out);
    return out;
}

} // namespace

class TestLinkFramer : public QObject {
    Q_OBJECT
private slots:
    void messagesComeBackWholeHoweverTheyArrive_data() {
        QTest::addColumn<int>("direction");
        QTest::addColumn<QList<QByteArray>>("messages");
        QByteArray note("*pC002105N\x06*pA*p!", 17); // a note holding markers
        QTest::newRow("commands") << int(TLinkFramer::Commands)
                                  << QList<QByteArray>{"*pD002", "*pW",           "*pW002105",
                                                       note,     "*pC002105Q004", "*pC002105R\x03",
                                                       "*pM1",   "*pQ004C",       "*pX",
                                                       "*pF"};
        QByteArray name("*pF002\x08K sestře", 15);
        QByteArray state("*pK002");
        state += QByteArray(38, '\0');
        QByteArray camera("*pH0001\x02IP");
        camera += QByteArray(306, '*');
        QTest::newRow("states") << int(TLinkFramer::States)
                                << QList<QByteArray>{
                                       "*pX",          name,
                                       state,          "*pC002",
                                       Candidate('*'), "*pE002",
                                       "*pQ0011",      "*pH002",
                                       camera,         QByteArray("*pP001\x02OK\x00\x01", 11),
                                       "*pH002"};
    }
    void messagesComeBackWholeHoweverTheyArrive() {
        QFETCH(int, direction);
        QFETCH(QList<QByteArray>, messages);
        QByteArray text = messages.join();
        for (int chunk : {1, 2, 7, 64, int(text.size())})
            QCOMPARE(FeedAll(TLinkFramer::Direction(direction), text, chunk), messages);
    }

    void keepAliveWaitsOnlyAtTheEnd() {
        TLinkFramer framer(TLinkFramer::Commands);
        QList<QByteArray> out;
        QCOMPARE(framer.Feed("*pD002*pW", out), TLinkFramer::Ok);
        QCOMPARE(out, QList<QByteArray>{"*pD002"});
        QVERIFY(framer.HasAmbiguousTail());
        QCOMPARE(framer.Feed("002", out), TLinkFramer::Ok);
        QVERIFY(!framer.HasAmbiguousTail());
        QCOMPARE(framer.Feed("105", out), TLinkFramer::Ok);
        QCOMPARE(out.last(), Text("*pW002105"));
        QCOMPARE(framer.Feed("*pW", out), TLinkFramer::Ok);
        framer.Flush(out);
        QCOMPARE(out.last(), Text("*pW"));
        QCOMPARE(framer.Pending(), 0);
    }

    void garbageAndFloodsAreRefused_data() {
        QTest::addColumn<int>("direction");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("http") << int(TLinkFramer::Commands) << Text("GET / HTTP/1.1\r\n");
        QTest::newRow("unknown letter") << int(TLinkFramer::Commands) << Text("*pZ002");
        QTest::newRow("letters for digits") << int(TLinkFramer::Commands) << Text("*pD0a2");
        QTest::newRow("bad sub-letter") << int(TLinkFramer::Commands) << Text("*pC002105X");
        QTest::newRow("state garbage") << int(TLinkFramer::States) << Text("*pD002");
        QTest::newRow("between messages") << int(TLinkFramer::Commands) << Text("*pX xx*pX");
    }
    void garbageAndFloodsAreRefused() {
        QFETCH(int, direction);
        QFETCH(QByteArray, text);
        TLinkFramer framer{TLinkFramer::Direction(direction)};
        QList<QByteArray> out;
        QCOMPARE(framer.Feed(text, out), TLinkFramer::Garbage);
        QCOMPARE(framer.Pending(), 0);
    }

    void unfinishedFloodOverflows() {
        TLinkFramer framer(TLinkFramer::States);
        QList<QByteArray> out;
        // A camera message can never be longer than 569 bytes; a peer that keeps a message open
        // that long is cut off by the framer's limit at the latest.
        QByteArray open("*pF002\xff");
        QCOMPARE(framer.Feed(open, out), TLinkFramer::Ok);
        QCOMPARE(framer.Pending(), open.size());
        TLinkFramer flood(TLinkFramer::Commands);
        QByteArray big;
        for (int i = 0; i < 12000; ++i)
            big += "*pD002";
        QCOMPARE(flood.Feed(big, out), TLinkFramer::Ok); // whole messages are never a flood
        QCOMPARE(out.size(), 12000);
    }

    void stationFilter_data() {
        QTest::addColumn<QString>("allowed");
        QTest::addColumn<QString>("peer");
        QTest::addColumn<bool>("allows");
        QTest::newRow("loopback") << QString() << u"127.0.0.1"_s << true;
        QTest::newRow("mapped private") << QString() << u"::ffff:192.168.4.20"_s << true;
        QTest::newRow("172.16/12") << QString() << u"172.31.255.1"_s << true;
        QTest::newRow("172.32") << QString() << u"172.32.0.1"_s << false;
        QTest::newRow("public") << QString() << u"8.8.8.8"_s << false;
        QTest::newRow("ipv6 loopback") << QString() << u"::1"_s << true;
        QTest::newRow("unique local") << QString() << u"fd12::5"_s << true;
        QTest::newRow("global v6") << QString() << u"2001:db8::1"_s << false;
        QTest::newRow("list: network")
            << u"192.168.1.0/24, 10.0.0.5"_s << u"192.168.1.77"_s << true;
        QTest::newRow("list: single") << u"192.168.1.0/24, 10.0.0.5"_s << u"10.0.0.5"_s << true;
        QTest::newRow("list replaces default")
            << u"192.168.1.0/24 10.0.0.5"_s << u"127.0.0.1"_s << false;
    }
    void stationFilter() {
        QFETCH(QString, allowed);
        QFETCH(QString, peer);
        QFETCH(bool, allows);
        QCOMPARE(TStationFilter(allowed).Allows(QHostAddress(peer)), allows);
    }
};

QTEST_GUILESS_MAIN(TestLinkFramer)
#include "tst_linkframer.moc"
