#pragma once

#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <stdexcept>

namespace lobrana::devices {

// The sixteen line speeds; the value names double as texts ("br57600").
enum class TcmBaudrate : int {
    br110,
    br150,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
};
inline constexpr int kBaudRateCount = 16;

int BaudRateSpeed(TcmBaudrate rate);     // bits per second
QString BaudRateName(TcmBaudrate rate);  // "br57600"
TcmBaudrate BaudRateIndex(qint64 speed); // band that holds the speed, closed at the top

// Device path for a port name: a name that starts with "/" is a path and is used trimmed;
// "COMn" is /dev/ttyS(n-1); any other name is looked for in /dev.
QString NormalizePortName(const QString& name);

// Appends the device paths of the computer's serial ports (stable /dev/serial/by-id names for
// USB adapters, then USB/ACM ports without such a name, then /dev/ttyS* ports with hardware).
// The roots can be moved for tests.
void ListSerialPorts(QStringList& list, bool clear, const QString& devRoot = QStringLiteral("/dev"),
                     const QString& sysRoot = QStringLiteral("/sys"));

// Error raised by the serial layer and the bus master; `ClassName` is what the error logs show.
class EComError : public std::runtime_error {
public:
    explicit EComError(const QString& message, QString className = QStringLiteral("EComError"));
    QString Message() const { return m_message; }
    QString ClassName() const { return m_className; }

private:
    QString m_message;
    QString m_className;
};

// One open serial port and the thread that reads and writes it. Construction opens the port or
// throws EComError; the subclass starts the body (StartBody) once it is fully constructed.
class TComThread : public QThread {
    Q_OBJECT
public:
    // The port's read and write time-outs, in milliseconds.
    struct Timeouts {
        int readInterval = 5;
        int readTotalPerByte = 0;
        int readTotalConstant = 5;
        int writeTotalPerByte = 1;
        int writeTotalConstant = 50;
    };

    ~TComThread() override;

    int Handle() const { return m_handle; }

    TcmBaudrate GetBaudRate() const;
    // Each setter changes only its own field of the line settings; false when the port refuses.
    bool SetBaudRate(TcmBaudrate rate);
    bool SetByteSize(unsigned index); // 0..4: 4, 5, 6, 7, 8 data bits
    bool SetParity(unsigned index);   // 0..4: none, odd, even, mark, space
    bool SetStopBits(unsigned index); // 0..2: 1, 1.5, 2
    void SetTimeouts(const Timeouts& timeouts) { m_timeouts = timeouts; }

    // Opens the device path of `name` (exclusive, raw line) and returns its descriptor, or -1
    // with errno set.
    static int OpenPort(const QString& name);

protected:
    // Opens the port; the error text is `className`, "-", the name as passed, ":" and the
    // system's message.
    TComThread(const QString& portName, const QString& className, QObject* parent = nullptr);

    // Starts the body; called at the end of the most derived constructor.
    void StartBody();
    // Stops the body and waits for it; the destructor of a subclass calls it before its own
    // members go.
    void StopBody();
    bool Stopping() const { return m_stop.load(); }

    // One read of up to `count` bytes bounded by the time-outs: the number of bytes read, 0 when
    // nothing came in time, -1 when the port failed (hung up, vanished).
    int ReadBytes(char* buffer, int count);
    // Writes all bytes; true only when all were written in time.
    bool WriteString(const QByteArray& data);
    // Clears a pending error state of the line (nothing to clear on this platform).
    bool ClearError() { return true; }

    virtual void Execute() = 0;

private:
    void run() final;

    int m_handle = -1;
    Timeouts m_timeouts;
    std::atomic_bool m_stop{false};
};

} // namespace lobrana::devices
