#pragma once

// A bus master on a pseudo-terminal with the simulator as its devices, and a fake bus clock.
#include "devices/vantrelthread.h"
#include "simrunner.h"

#include <QJsonObject>
#include <QList>
#include <QtTest>

#include <atomic>
#include <memory>
#include <mutex>

class TFakeClock : public lobrana::devices::IMillisecondClock {
public:
    qint64 NowMs() const override { return m_now.load(); }
    void Advance(qint64 ms) { m_now += ms; }

private:
    std::atomic<qint64> m_now{1'000'000};
};

// Everything the simulator reported, in order.
class TSimLog {
public:
    void Add(const QJsonObject& o) {
        std::lock_guard lock(m_mutex);
        m_events.append(o);
    }
    QList<QJsonObject> All() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    // Frames in one direction with a good CRC, optionally only of one address and command.
    QList<QJsonObject> Frames(const QString& dir, int addr = -1, const QString& cmd = {}) const {
        QList<QJsonObject> result;
        for (const QJsonObject& o : All())
            if (o.value(QStringLiteral("dir")).toString() == dir &&
                o.value(QStringLiteral("crc")).toBool() &&
                (addr < 0 || o.value(QStringLiteral("addr")).toInt() == addr) &&
                (cmd.isEmpty() || o.value(QStringLiteral("cmd")).toString() == cmd))
                result.append(o);
        return result;
    }
    int IndexOf(const QJsonObject& o) const { return int(All().indexOf(o)); }
    int CountEvent(const QString& name) const {
        int n = 0;
        for (const QJsonObject& o : All())
            n += o.value(QStringLiteral("event")).toString() == name;
        return n;
    }

private:
    mutable std::mutex m_mutex;
    QList<QJsonObject> m_events;
};

struct TBusFixture {
    TFakeClock clock;
    TSimLog log;
    std::unique_ptr<lobrana::devsim::TSimRunner> sim;
    std::unique_ptr<lobrana::devices::TVantrelThread> master;

    explicit TBusFixture(lobrana::devsim::TSimConfig config = {}) {
        sim = std::make_unique<lobrana::devsim::TSimRunner>(
            config, [this](const QJsonObject& o) { log.Add(o); });
        sim->Start();
        lobrana::devices::TVantrelThread::Options options;
        options.startDelayMs = 0;
        options.clock = &clock;
        master = std::make_unique<lobrana::devices::TVantrelThread>(sim->DevicePath(), options);
        master->LogEnabled = false;
    }
    ~TBusFixture() {
        master.reset();
        sim.reset();
    }
    // Runs a simulator command and waits until it was taken.
    bool Command(const QString& line) {
        const int before = log.CountEvent(QStringLiteral("ok"));
        sim->Post(line);
        return QTest::qWaitFor([&] { return log.CountEvent(QStringLiteral("ok")) > before; }, 5000);
    }
};
