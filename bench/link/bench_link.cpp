// 50 stations on loopback, each holding the full queue state; one of them sends commands that
// change a queue (each saved to disk and broadcast). Prints the command rate and how long the
// broadcast takes to reach every station.

#include "app/wiring.h"
#include "engine/connectnode.h"
#include "engine/helpers.h"
#include "engine/registry.h"
#include "engine/setuptree.h"
#include "link/linkframer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct TStation {
    std::unique_ptr<QTcpSocket> Socket;
    TLinkFramer Framer{TLinkFramer::States};
    int States = 0; // "*pK002" messages received
    qint64 LastAt = 0;
};

bool Wait(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("LOBRANA_HOME", dir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (dir.path() + u"/config"_s).toLocal8Bit());
    quint16 port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    {
        TRegistry reg;
        reg.OpenKey(RootKeyPath(0) + u"\\Connect"_s, true);
        reg.WriteInteger(u"ComputerType"_s, 1);
        reg.WriteInteger(u"Port"_s, port);
    }
    TSetupTree tree;
    RegisterSubsystems(tree);
    tree.Start();
    tree.SendToEngine("*pM1");

    const int stationCount = 50;
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<TStation>> stations;
    for (int i = 0; i < stationCount; ++i) {
        auto s = std::make_unique<TStation>();
        s->Socket = std::make_unique<QTcpSocket>();
        TStation* raw = s.get();
        QObject::connect(raw->Socket.get(), &QTcpSocket::readyRead, [raw, &clock] {
            QList<QByteArray> messages;
            raw->Framer.Feed(raw->Socket->readAll(), messages);
            for (const QByteArray& m : messages)
                if (m.startsWith("*pK002")) {
                    ++raw->States;
                    raw->LastAt = clock.nsecsElapsed();
                }
                else if (m == "*pW")
                    raw->Socket->write("*pW");
        });
        raw->Socket->connectToHost(QHostAddress::LocalHost, port);
        stations.push_back(std::move(s));
    }
    if (!Wait([&] { return tree.ConnectNode->StationCount() == stationCount; }, 10000)) {
        std::printf("stations did not connect\n");
        return 1;
    }
    for (auto& s : stations)
        s->Socket->write("*pX");
    Wait([&] {
        return std::all_of(stations.begin(), stations.end(),
                           [](const auto& s) { return s->States >= 1; });
    }, 10000);

    // Latency: one command at a time, until every station has its broadcast.
    QTcpSocket* sender = stations.front()->Socket.get();
    std::vector<double> latencies;
    const int single = 300;
    for (int i = 0; i < single; ++i) {
        std::vector<int> before;
        for (auto& s : stations)
            before.push_back(s->States);
        qint64 sent = clock.nsecsElapsed();
        sender->write(i % 2 == 0 ? "*pN000" : "*pD002");
        sender->flush();
        bool ok = Wait([&] {
            for (size_t k = 0; k < stations.size(); ++k)
                if (stations[k]->States <= before[k])
                    return false;
            return true;
        }, 5000);
        if (!ok) {
            std::printf("broadcast %d did not reach every station\n", i);
            return 1;
        }
        for (auto& s : stations)
            latencies.push_back((s->LastAt - sent) / 1e6);
    }
    std::sort(latencies.begin(), latencies.end());
    auto pct = [&](double p) { return latencies[size_t(p * double(latencies.size() - 1))]; };

    // Throughput: 1000 commands sent back to back.
    const int burst = 1000;
    std::vector<int> before;
    for (auto& s : stations)
        before.push_back(s->States);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < burst; ++i)
        sender->write(i % 2 == 0 ? "*pN000" : "*pD002");
    sender->flush();
    bool all = Wait([&] {
        for (size_t k = 0; k < stations.size(); ++k)
            if (stations[k]->States < before[k] + burst)
                return false;
        return true;
    }, 120000);
    double seconds = t.nsecsElapsed() / 1e9;
    std::printf("50 stations, %d single commands: broadcast to every station median %.2f ms, "
                "p99 %.2f ms, max %.2f ms (target p99 < 20 ms)\n",
                single, pct(0.5), pct(0.99), latencies.back());
    std::printf("%d commands back to back: %.0f commands/s with every broadcast delivered to all "
                "50 stations%s (target >= 500/s)\n",
                burst, burst / seconds, all ? "" : " [NOT ALL DELIVERED]");
    tree.Shutdown();
    return 0;
}
