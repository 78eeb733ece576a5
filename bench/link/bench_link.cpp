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
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Commands that each change queue 1, save it and broadcast it: a new candidate entered by hand,
// then that candidate deleted.
QByteArray Command(int i) {
    if (i % 2 == 0)
        return "*pN000";
    return "*pE002" + QByteArray::number(100 + (i / 2) % 800);
}

struct TStation {
    std::unique_ptr<QTcpSocket> Socket;
    TLinkFramer Framer{TLinkFramer::States};
    int States = 0; // "*pK002" messages received
    qint64 LastAt = 0;
};

bool Wait(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    QTimer wake; // bounds each wait for events
    wake.start(20);
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The stations, in a process of their own as on their own computers: 50 connections, one of
// which sends the commands and measures when each broadcast arrives everywhere.
int RunStations(int argc, char** argv, quint16 port, int stationCount) {
    QCoreApplication app(argc, argv);
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
                } else if (m == "*pW") {
                    raw->Socket->write("*pW");
                }
        });
        raw->Socket->connectToHost(QHostAddress::LocalHost, port);
        stations.push_back(std::move(s));
    }
    if (!Wait(
            [&] {
                return std::all_of(stations.begin(), stations.end(), [](const auto& s) {
                    return s->Socket->state() == QAbstractSocket::ConnectedState;
                });
            },
            10000)) {
        std::printf("stations did not connect\n");
        return 1;
    }
    for (auto& s : stations)
        s->Socket->write("*pX");
    Wait(
        [&] {
            return std::all_of(stations.begin(), stations.end(),
                               [](const auto& s) { return s->States >= 1; });
        },
        10000);

    // Latency: one command at a time, until every station has its broadcast.
    QTcpSocket* sender = stations.front()->Socket.get();
    std::vector<double> latencies;
    const int single = 300;
    for (int i = 0; i < single; ++i) {
        std::vector<int> before;
        for (auto& s : stations)
            before.push_back(s->States);
        qint64 sent = clock.nsecsElapsed();
        sender->write(Command(i));
        sender->flush();
        bool ok = Wait(
            [&] {
                for (size_t k = 0; k < stations.size(); ++k)
                    if (stations[k]->States <= before[k])
                        return false;
                return true;
            },
            5000);
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
    for (int i = single; i < single + burst; ++i)
        sender->write(Command(i));
    sender->flush();
    bool all = Wait(
        [&] {
            for (size_t k = 0; k < stations.size(); ++k)
                if (stations[k]->States < before[k] + burst)
                    return false;
            return true;
        },
        120000);
    double seconds = t.nsecsElapsed() / 1e9;
    std::printf("%d stations, %d single commands: broadcast to every station median %.2f ms, "
                "p99 %.2f ms, max %.2f ms (target p99 < 20 ms)\n",
                stationCount, single, pct(0.5), pct(0.99), latencies.back());
    std::printf("%d commands back to back: %.0f commands/s with every broadcast delivered to all "
                "%d stations%s (target >= 500/s)\n",
                burst, burst / seconds, stationCount, all ? "" : " [NOT ALL DELIVERED]");
    std::fflush(stdout);
    return all ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const int stationCount = qEnvironmentVariableIntValue("STATIONS") > 0
                                 ? qEnvironmentVariableIntValue("STATIONS")
                                 : 50;
    QTemporaryDir dir;
    qputenv("LOBRANA_HOME", dir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (dir.path() + u"/config"_s).toLocal8Bit());
    quint16 port;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    int ready[2];
    if (::pipe(ready) != 0)
        return 1;
    pid_t child = ::fork();
    if (child == 0) {
        char c;
        if (::read(ready[0], &c, 1) != 1)
            ::_exit(1);
        ::_exit(RunStations(argc, argv, port, stationCount));
    }

    QCoreApplication app(argc, argv);
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
    [[maybe_unused]] auto n = ::write(ready[1], "g", 1);
    int status = 0;
    QTimer reaper;
    QObject::connect(&reaper, &QTimer::timeout, [&] {
        if (::waitpid(child, &status, WNOHANG) == child)
            QCoreApplication::quit();
    });
    reaper.start(20);
    QCoreApplication::exec();
    tree.Shutdown();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
