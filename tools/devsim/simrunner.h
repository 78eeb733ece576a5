#pragma once

#include "simulator.h"

#include <QString>

#include <atomic>
#include <deque>
#include <memory>
#include <thread>

namespace lobrana::devsim {

// Runs a TBusSimulator on the device side of a pseudo-terminal pair: the program under test opens
// DevicePath() as its serial port. Bytes are delivered at the line speed when pacing is on.
class TSimRunner {
public:
    // Creates the pseudo-terminal pair; throws std::runtime_error when it cannot.
    TSimRunner(TSimConfig config, TBusSimulator::ReportFn report);
    ~TSimRunner(); // stops the loop and removes the link

    QString DevicePath() const { return m_devicePath; }
    // Makes `path` a symbolic link to the device side (replacing an earlier link there).
    bool MakeLink(const QString& path, QString* error);

    // Runs until "quit" or Stop(); lines may come from `commandFd` (for example standard input)
    // and from Post(). Returns 0.
    int Run(int commandFd = -1);
    void Post(const QString& line); // any thread
    void Stop();                    // any thread

    // The loop on a thread of its own (tests).
    void Start();
    void Join();

private:
    struct Timed {
        double due = 0;
        QByteArray bytes;
    };
    double NowMs() const;
    double ByteTimeMs() const;
    void Wake();

    TSimConfig m_config;
    TBusSimulator::ReportFn m_report;
    int m_master = -1;
    int m_slave = -1;
    int m_wake[2] = {-1, -1};
    QString m_devicePath;
    QString m_link;
    std::atomic_bool m_stop{false};
    std::mutex m_postMutex;
    std::deque<QString> m_posted;
    std::thread m_thread;
    double m_epoch = 0;
};

} // namespace lobrana::devsim
