// Bus master figures: ticket data throughput against the paced simulator, and the processor
// time of an idle bus master.
#include "devices/vantrelthread.h"
#include "simrunner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

using namespace lobrana::devices;
using namespace lobrana::devsim;

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Sends 20 KiB of ticket data in packets of 255 bytes and returns elapsed / wire time.
double Throughput(int baud) {
    TSimConfig config;
    config.pace = true;
    config.baud = baud;
    config.displays.clear();
    TSimRunner sim(config, [](const QJsonObject&) {});
    sim.Start();
    TVantrelThread::Options options;
    options.startDelayMs = 0;
    TVantrelThread master(sim.DevicePath(), options);
    master.LogEnabled = false;
    master.SetBaudRate(BaudRateIndex(baud));
    auto device = master.Devices.AddDevice(0, 1000);

    const int total = 20 * 1024;
    QByteArray data(total, '\0');
    for (int i = 0; i < total; ++i)
        data[i] = char((i * 37) & 0xFF);
    const int packets = (total + 254) / 255;

    QEventLoop loop;
    int replies = 0;
    char lastCommand = 0;
    QElapsedTimer timer;
    master.SetOnReply([&](TVantrelThread*, TVantrelDevice*, const QByteArray&, char command,
                          const TVantrelPacket& request) {
        lastCommand = command;
        if (request.Command == 'P') {
            timer.start(); // the ticket data starts now
            device->AddPacket('T', data, false);
            return;
        }
        if (++replies == packets)
            loop.quit();
    });
    QByteArray header;
    header.append(char(total >> 8)).append(char(total & 0xFF)).append(char(0)).append(char(10));
    device->AddPacket('P', header, false);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
    const double elapsed = double(timer.nsecsElapsed()) / 1e6;

    // Bytes on the wire: every request frame and its 7-byte reply, 10 bits a byte.
    const int lastData = total - (packets - 1) * 255;
    const qint64 bytes = qint64(packets - 1) * (255 + 7) + (lastData + 7) + qint64(packets) * 7;
    const double wire = double(bytes) * 10.0 * 1000.0 / baud;
    std::printf("ticket data %d bytes at %d bit/s: %d/%d packets answered ('%c'), %.1f ms, "
                "wire %.1f ms, ratio %.3f\n",
                total, baud, replies, packets, lastCommand ? lastCommand : '?', elapsed, wire,
                elapsed / wire);
    return replies == packets ? elapsed / wire : -1;
}

// The processor time of this process while the master only polls two devices once a second;
// the simulator runs as its own process.
double IdleLoad(int seconds) {
    const QString devsim =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/devsim/lobrana-devsim");
    QProcess sim;
    sim.start(devsim, {});
    if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
        std::printf("idle: cannot start %s\n", qPrintable(devsim));
        return -1;
    }
    const QString path = QString::fromLocal8Bit(sim.readLine().trimmed());
    double load = -1;
    {
        TVantrelThread::Options options;
        options.startDelayMs = 0;
        TVantrelThread master(path, options);
        master.LogEnabled = false;
        int replies = 0;
        master.SetOnReply([&](TVantrelThread*, TVantrelDevice*, const QByteArray&, char,
                              const TVantrelPacket&) { ++replies; });
        master.Devices.AddDevice(0, 1000)->AddCyclicPacket('W', {}, true);
        master.Devices.AddDevice(1, 1000)->AddCyclicPacket('D', QByteArray(15, '\0'), true);
        QEventLoop loop;
        QTimer::singleShot(500, &loop, &QEventLoop::quit); // settle
        loop.exec();
        const double cpu0 = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = CpuSeconds() - cpu0;
        const double elapsed = double(wall.elapsed()) / 1000.0;
        load = 100.0 * cpu / elapsed;
        std::printf(
            "idle bus master, 2 devices polled: %d replies in %.1f s, %.2f %% of one core\n",
            replies, elapsed, load);
    }
    sim.write("quit\n");
    sim.waitForFinished(3000);
    return load;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double r57600 = Throughput(57600);
    const double r115200 = Throughput(115200);
    const double idle = IdleLoad(5);
    std::printf("target: ratio at 57600 <= 1.15: %s; idle < 2 %%: %s\n",
                r57600 > 0 && r57600 <= 1.15 ? "met" : "NOT MET",
                idle >= 0 && idle < 2.0 ? "met" : "NOT MET");
    std::printf("(ratio at 115200: %.3f)\n", r115200);
    return 0;
}
