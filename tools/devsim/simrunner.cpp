#include "simrunner.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace lobrana::devsim {

namespace {

double SteadyMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void SetNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

} // namespace

TSimRunner::TSimRunner(TSimConfig config, TBusSimulator::ReportFn report)
    : m_config(std::move(config)), m_report(std::move(report)), m_epoch(SteadyMs()) {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    // The device side stays open here too, so the line lives while the program under test
    // reopens it.
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    SetNonBlocking(m_master);
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    m_devicePath = QString::fromLocal8Bit(name);
}

TSimRunner::~TSimRunner() {
    Stop();
    Join();
    if (!m_link.isEmpty() && QFileInfo(m_link).isSymLink())
        QFile::remove(m_link);
    for (int fd : {m_master, m_slave, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
}

bool TSimRunner::MakeLink(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (info.isSymLink())
        QFile::remove(path);
    else if (info.exists()) {
        if (error)
            *error = path + QStringLiteral(" exists and is not a link");
        return false;
    }
    if (::symlink(QFile::encodeName(m_devicePath).constData(),
                  QFile::encodeName(path).constData()) != 0) {
        if (error)
            *error = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    m_link = path;
    return true;
}

double TSimRunner::NowMs() const {
    return SteadyMs() - m_epoch;
}

double TSimRunner::ByteTimeMs() const {
    // Start bit, eight data bits, stop bit.
    return m_config.pace && m_config.baud > 0 ? 10000.0 / m_config.baud : 0.0;
}

void TSimRunner::Wake() {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &b, 1);
}

void TSimRunner::Post(const QString& line) {
    {
        std::lock_guard lock(m_postMutex);
        m_posted.push_back(line);
    }
    Wake();
}

void TSimRunner::Stop() {
    m_stop = true;
    if (m_wake[1] >= 0)
        Wake();
}

void TSimRunner::Start() {
    m_thread = std::thread([this] { Run(); });
}

void TSimRunner::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

int TSimRunner::Run(int commandFd) {
    std::deque<Timed> incoming; // bytes on their way from the master, due when fully received
    std::deque<Timed> outgoing; // frames on their way to the master
    QByteArray writing;         // due bytes the pseudo-terminal has not taken yet
    double rxFree = 0;
    double txFree = 0;
    const double byteMs = ByteTimeMs();

    TBusSimulator sim(
        m_config,
        [&](const QByteArray& frame, int delayMs) {
            const double now = NowMs();
            double start = std::max(now + delayMs, txFree);
            if (!outgoing.empty())
                start = std::max(start, outgoing.back().due);
            const double due = start + byteMs * double(frame.size());
            if (byteMs > 0)
                txFree = due;
            outgoing.push_back(Timed{due, frame});
        },
        m_report);

    QByteArray commandBuffer;
    bool commandsOpen = commandFd >= 0;
    while (!m_stop) {
        double now = NowMs();
        // Deliver what is due.
        while (!incoming.empty() && incoming.front().due <= now) {
            sim.Feed(incoming.front().bytes, qint64(now));
            incoming.pop_front();
        }
        while (!outgoing.empty() && outgoing.front().due <= now) {
            writing.append(outgoing.front().bytes);
            outgoing.pop_front();
        }
        while (!writing.isEmpty()) {
            const ssize_t n = ::write(m_master, writing.constData(), size_t(writing.size()));
            if (n <= 0)
                break;
            writing.remove(0, n);
        }
        // Commands.
        std::deque<QString> posted;
        {
            std::lock_guard lock(m_postMutex);
            posted.swap(m_posted);
        }
        for (const QString& line : posted)
            if (!sim.Command(line, qint64(now)))
                m_stop = true;
        for (qsizetype nl; (nl = commandBuffer.indexOf('\n')) >= 0;) {
            const QString line = QString::fromUtf8(commandBuffer.first(nl));
            commandBuffer.remove(0, nl + 1);
            if (!sim.Command(line, qint64(now)))
                m_stop = true;
        }
        const qint64 nextTick = sim.Tick(qint64(now));
        if (m_stop)
            break;

        // Sleep until the next thing to do.
        double wakeAt = 1e300;
        if (!incoming.empty())
            wakeAt = std::min(wakeAt, incoming.front().due);
        if (!outgoing.empty())
            wakeAt = std::min(wakeAt, outgoing.front().due);
        if (nextTick >= 0)
            wakeAt = std::min(wakeAt, double(nextTick));
        if (!writing.isEmpty())
            wakeAt = std::min(wakeAt, now + 5);
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (wakeAt < 1e299) {
            const double wait = std::max(0.0, wakeAt - NowMs());
            timeout.tv_sec = time_t(wait / 1000);
            timeout.tv_nsec = long(std::fmod(wait, 1000.0) * 1e6);
            timeoutPtr = &timeout;
        }
        pollfd fds[3] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}, {commandFd, POLLIN, 0}};
        const int count = commandsOpen ? 3 : 2;
        if (::ppoll(fds, nfds_t(count), timeoutPtr, nullptr) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (::read(m_wake[0], drain, sizeof drain) > 0) {
            }
        }
        if (fds[0].revents & POLLIN) {
            char buffer[4096];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0) {
                now = NowMs();
                const double due = std::max(now, rxFree) + byteMs * double(n);
                if (byteMs > 0)
                    rxFree = due;
                incoming.push_back(Timed{due, QByteArray(buffer, n)});
            }
        }
        if (count == 3 && (fds[2].revents & (POLLIN | POLLHUP))) {
            char buffer[4096];
            const ssize_t n = ::read(commandFd, buffer, sizeof buffer);
            if (n > 0) {
                commandBuffer.append(buffer, n);
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                // End of the commands: the last line counts even without its newline.
                if (!commandBuffer.isEmpty())
                    commandBuffer.append('\n');
                commandsOpen = false;
            }
        }
    }
    return 0;
}

} // namespace lobrana::devsim
