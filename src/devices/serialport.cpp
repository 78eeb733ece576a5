#include "devices/serialport.h"

#include "devices/linuxline.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace lobrana::devices {

namespace {

constexpr int kSpeeds[kBaudRateCount] = {110,   150,   300,   600,   1200,  2400,   4800,   9600,
                                         14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

qint64 NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

int BaudRateSpeed(TcmBaudrate rate) {
    const int i = static_cast<int>(rate);
    return (i >= 0 && i < kBaudRateCount) ? kSpeeds[i] : kSpeeds[12];
}

QString BaudRateName(TcmBaudrate rate) {
    return QStringLiteral("br") + QString::number(BaudRateSpeed(rate));
}

TcmBaudrate BaudRateIndex(qint64 speed) {
    for (int i = 0; i < kBaudRateCount - 1; ++i)
        if (speed <= kSpeeds[i])
            return static_cast<TcmBaudrate>(i);
    return TcmBaudrate::br256000;
}

QString NormalizePortName(const QString& name) {
    const QString trimmed = name.trimmed();
    if (trimmed.startsWith(u'/'))
        return trimmed;
    if (trimmed.size() > 3 &&
        trimmed.first(3).compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0) {
        bool ok = false;
        const int n = trimmed.mid(3).toInt(&ok);
        if (ok && n >= 1)
            return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
    }
    return QStringLiteral("/dev/") + trimmed;
}

void ListSerialPorts(QStringList& list, bool clear, const QString& devRoot,
                     const QString& sysRoot) {
    if (clear)
        list.clear();
    QSet<QString> covered; // canonical targets already listed under a stable name
    const QDir byId(devRoot + QStringLiteral("/serial/by-id"));
    const QFileInfoList links =
        byId.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        const QString target = link.canonicalFilePath();
        if (target.isEmpty())
            continue;
        list.append(link.absoluteFilePath());
        covered.insert(target);
    }
    const QDir dev(devRoot);
    const QStringList usb = dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                                          QDir::System | QDir::Files, QDir::Name);
    for (const QString& entry : usb) {
        const QFileInfo info(dev.filePath(entry));
        if (!covered.contains(info.canonicalFilePath()))
            list.append(info.absoluteFilePath());
    }
    // A ttyS node exists for every possible UART; only those the kernel found hardware for have a
    // type other than 0 (unknown).
    QStringList uarts = dev.entryList({QStringLiteral("ttyS*")}, QDir::System | QDir::Files);
    std::sort(uarts.begin(), uarts.end(), [](const QString& a, const QString& b) {
        return a.mid(4).toInt() < b.mid(4).toInt();
    });
    for (const QString& entry : uarts) {
        QFile type(sysRoot + QStringLiteral("/class/tty/") + entry + QStringLiteral("/type"));
        if (!type.open(QIODevice::ReadOnly))
            continue;
        const QByteArray value = type.readAll().trimmed();
        if (!value.isEmpty() && value != "0")
            list.append(dev.filePath(entry));
    }
}

EComError::EComError(const QString& message, QString className)
    : std::runtime_error(message.toStdString()), m_message(message),
      m_className(std::move(className)) {}

int TComThread::OpenPort(const QString& name) {
    const QByteArray path = QFile::encodeName(NormalizePortName(name));
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    // No sharing: a second opener of the device is refused by the driver.
    if (::ioctl(fd, TIOCEXCL) != 0 || !line::MakeRaw(fd)) {
        const int e = errno;
        ::close(fd);
        errno = e;
        return -1;
    }
    return fd;
}

TComThread::TComThread(const QString& portName, const QString& className, QObject* parent)
    : QThread(parent) {
    m_handle = OpenPort(portName);
    if (m_handle < 0) {
        const QString text =
            className + u'-' + portName + u':' + QString::fromLocal8Bit(std::strerror(errno));
        throw EComError(text, className);
    }
    SetParity(0);
}

TComThread::~TComThread() {
    StopBody();
    if (m_handle >= 0)
        ::close(m_handle);
}

void TComThread::StartBody() {
    start(QThread::HighPriority);
}

void TComThread::StopBody() {
    m_stop = true;
    requestInterruption();
    wait();
}

void TComThread::run() {
    Execute();
}

TcmBaudrate TComThread::GetBaudRate() const {
    return BaudRateIndex(line::GetSpeed(m_handle));
}

bool TComThread::SetBaudRate(TcmBaudrate rate) {
    return line::SetSpeed(m_handle, BaudRateSpeed(rate));
}

bool TComThread::SetByteSize(unsigned index) {
    // Four data bits have no line setting here; the request is refused and nothing changes.
    return index <= 4 && line::SetDataBits(m_handle, static_cast<int>(index) + 4);
}

bool TComThread::SetParity(unsigned index) {
    return index <= 4 && line::SetParity(m_handle, static_cast<int>(index));
}

bool TComThread::SetStopBits(unsigned index) {
    return index <= 2 && line::SetStopBits(m_handle, static_cast<int>(index));
}

int TComThread::ReadBytes(char* buffer, int count) {
    if (count <= 0)
        return 0;
    const qint64 deadline =
        NowMs() + m_timeouts.readTotalConstant + qint64(m_timeouts.readTotalPerByte) * count;
    int got = 0;
    for (;;) {
        qint64 wait = deadline - NowMs();
        if (got > 0 && m_timeouts.readInterval > 0)
            wait = std::min<qint64>(wait, m_timeouts.readInterval);
        if (wait < 0)
            wait = 0;
        pollfd p{m_handle, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(wait));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return got > 0 ? got : -1;
        }
        if (r == 0)
            return got;
        if (p.revents & POLLIN) {
            const ssize_t n = ::read(m_handle, buffer + got, size_t(count - got));
            if (n > 0) {
                got += int(n);
                if (got >= count)
                    return got;
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            // An error, or an end of file on a line that announced data: the line is gone.
            return got > 0 ? got : -1;
        }
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
            return got > 0 ? got : -1;
    }
}

bool TComThread::WriteString(const QByteArray& data) {
    const qint64 deadline = NowMs() + m_timeouts.writeTotalConstant +
                            qint64(m_timeouts.writeTotalPerByte) * data.size();
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(m_handle, data.constData() + done, size_t(data.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        const qint64 wait = deadline - NowMs();
        if (wait <= 0)
            return false;
        pollfd p{m_handle, POLLOUT, 0};
        const int r = ::poll(&p, 1, static_cast<int>(wait));
        if (r < 0 && errno != EINTR)
            return false;
        if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            return false;
    }
    return true;
}

} // namespace lobrana::devices
