// The serial layer: names, speed bands, opening, line settings and bounded reads on a
// pseudo-terminal pair.
#include "devices/linuxline.h"
#include "devices/serialport.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace lobrana::devices;

namespace {

// A port thread whose body does nothing; the test calls the read and write operations itself.
class TPlainPort : public TComThread {
public:
    explicit TPlainPort(const QString& name) : TComThread(name, QStringLiteral("TPlainPort")) {}
    using TComThread::ReadBytes;
    using TComThread::WriteString;

protected:
    void Execute() override {}
};

struct Pty {
    int master = -1;
    int slave = -1;
    QString path;
    Pty() {
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&master, &slave, name, &raw, nullptr) == 0)
            path = QString::fromLocal8Bit(name);
    }
    ~Pty() {
        CloseMaster();
        if (slave >= 0)
            ::close(slave);
    }
    void CloseMaster() {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
};

} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT
private slots:
    void baudRateIndex_data();
    void baudRateIndex();
    void baudRateNames();
    void normalizePortName_data();
    void normalizePortName();
    void listsPorts();
    void openFailureText();
    void everySpeedSticks();
    void settersChangeOnlyTheirField();
    void readIsBounded();
    void writeAndRead();
    void vanishedPortFails();
};

void TestSerialPort::baudRateIndex_data() {
    QTest::addColumn<qint64>("speed");
    QTest::addColumn<int>("index");
    const QList<std::pair<qint64, int>> cases = {
        {0, 0},       {110, 0},      {111, 1},     {150, 1},     {151, 2},     {9600, 7},
        {9601, 8},    {14400, 8},    {19200, 9},   {20000, 10},  {38401, 11},  {56000, 11},
        {56001, 12},  {57600, 12},   {115200, 13}, {115201, 14}, {128000, 14}, {128001, 15},
        {256000, 15}, {1000000, 15}, {-5, 0}};
    for (const auto& [speed, index] : cases)
        QTest::addRow("%lld", speed) << speed << index;
}

void TestSerialPort::baudRateIndex() {
    QFETCH(qint64, speed);
    QFETCH(int, index);
    QCOMPARE(int(BaudRateIndex(speed)), index);
}

void TestSerialPort::baudRateNames() {
    QCOMPARE(BaudRateName(TcmBaudrate::br57600), QStringLiteral("br57600"));
    QCOMPARE(BaudRateName(TcmBaudrate::br110), QStringLiteral("br110"));
    QCOMPARE(BaudRateSpeed(TcmBaudrate::br256000), 256000);
    for (int i = 0; i < kBaudRateCount; ++i)
        QCOMPARE(int(BaudRateIndex(BaudRateSpeed(TcmBaudrate(i)))), i);
}

void TestSerialPort::normalizePortName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("path");
    QTest::newRow("COM3") << QStringLiteral("COM3") << QStringLiteral("/dev/ttyS2");
    QTest::newRow("blanks") << QStringLiteral("  COM1 ") << QStringLiteral("/dev/ttyS0");
    QTest::newRow("above 9") << QStringLiteral("COM12") << QStringLiteral("/dev/ttyS11");
    QTest::newRow("lower case") << QStringLiteral("com2") << QStringLiteral("/dev/ttyS1");
    QTest::newRow("path") << QStringLiteral(" /dev/ttyUSB0 ") << QStringLiteral("/dev/ttyUSB0");
    QTest::newRow("by-id") << QStringLiteral("/dev/serial/by-id/usb-FTDI_A-if00-port0")
                           << QStringLiteral("/dev/serial/by-id/usb-FTDI_A-if00-port0");
    QTest::newRow("bare name") << QStringLiteral("ttyACM1") << QStringLiteral("/dev/ttyACM1");
    QTest::newRow("COM0") << QStringLiteral("COM0") << QStringLiteral("/dev/COM0");
}

void TestSerialPort::normalizePortName() {
    QFETCH(QString, name);
    QFETCH(QString, path);
    QCOMPARE(NormalizePortName(name), path);
}

void TestSerialPort::listsPorts() {
    QTemporaryDir root;
    QDir dev(root.filePath(QStringLiteral("dev")));
    QDir().mkpath(dev.filePath(QStringLiteral("serial/by-id")));
    auto touch = [](const QString& path) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    };
    for (const char* n : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0", "ttyS1", "ttyS10"})
        touch(dev.filePath(QString::fromLatin1(n)));
    QVERIFY(QFile::link(dev.filePath(QStringLiteral("ttyUSB0")),
                        dev.filePath(QStringLiteral("serial/by-id/usb-FTDI_X-port0"))));
    QVERIFY(QFile::link(dev.filePath(QStringLiteral("missing")),
                        dev.filePath(QStringLiteral("serial/by-id/dangling"))));
    const QString sys = root.filePath(QStringLiteral("sys"));
    for (const auto& [n, type] : {std::pair{"ttyS0", "4"}, {"ttyS1", "0"}, {"ttyS10", "4"}}) {
        QDir().mkpath(sys + QStringLiteral("/class/tty/") + QString::fromLatin1(n));
        QFile f(sys + QStringLiteral("/class/tty/") + QString::fromLatin1(n) +
                QStringLiteral("/type"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(type);
        f.write("\n");
    }
    QStringList list{QStringLiteral("old")};
    ListSerialPorts(list, true, dev.path(), sys);
    QCOMPARE(list,
             QStringList(
                 {dev.filePath(QStringLiteral("serial/by-id/usb-FTDI_X-port0")),
                  dev.filePath(QStringLiteral("ttyACM0")), dev.filePath(QStringLiteral("ttyUSB1")),
                  dev.filePath(QStringLiteral("ttyS0")), dev.filePath(QStringLiteral("ttyS10"))}));
    QStringList kept{QStringLiteral("old")};
    ListSerialPorts(kept, false, root.filePath(QStringLiteral("none")), sys);
    QCOMPARE(kept, QStringList{QStringLiteral("old")});
}

void TestSerialPort::openFailureText() {
    try {
        TPlainPort port(QStringLiteral(" /nonexistent/port "));
        QFAIL("opened a port that does not exist");
    } catch (const EComError& e) {
        QCOMPARE(e.ClassName(), QStringLiteral("TPlainPort"));
        QVERIFY2(e.Message().startsWith(QStringLiteral("TPlainPort- /nonexistent/port :")),
                 qPrintable(e.Message()));
        QVERIFY(e.Message().size() > QStringLiteral("TPlainPort- /nonexistent/port :").size());
    }
    // Something that is not a serial line is refused too.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("plain"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY_THROWS_EXCEPTION(EComError, TPlainPort{file});
}

void TestSerialPort::everySpeedSticks() {
    Pty pty;
    QVERIFY(!pty.path.isEmpty());
    TPlainPort port(pty.path);
    for (int i = 0; i < kBaudRateCount; ++i) {
        QVERIFY2(port.SetBaudRate(TcmBaudrate(i)), qPrintable(BaudRateName(TcmBaudrate(i))));
        QCOMPARE(int(port.GetBaudRate()), i);
        QCOMPARE(line::GetSpeed(port.Handle()), BaudRateSpeed(TcmBaudrate(i)));
    }
}

void TestSerialPort::settersChangeOnlyTheirField() {
    // A pseudo-terminal always keeps 8 data bits without parity, so those two fields are
    // checked here only for leaving the others alone.
    Pty pty;
    TPlainPort port(pty.path);
    const int fd = port.Handle();
    QVERIFY(port.SetBaudRate(TcmBaudrate::br19200));
    QVERIFY(port.SetStopBits(2));
    QVERIFY(port.SetParity(2));
    QVERIFY(port.SetByteSize(3));
    QCOMPARE(line::GetSpeed(fd), 19200);
    QCOMPARE(line::GetStopBits(fd), 2);
    QVERIFY(port.SetBaudRate(TcmBaudrate::br128000));
    QCOMPARE(line::GetStopBits(fd), 2);
    QVERIFY(port.SetStopBits(0));
    QCOMPARE(line::GetSpeed(fd), 128000);
    QCOMPARE(line::GetStopBits(fd), 0);
    QVERIFY(port.SetParity(0));
    QVERIFY(port.SetByteSize(4));
    QCOMPARE(line::GetSpeed(fd), 128000);
    QCOMPARE(line::GetDataBits(fd), 8);
    QCOMPARE(line::GetParity(fd), 0);
    // Unsupported or out-of-range indices are refused and change nothing.
    QVERIFY(!port.SetByteSize(0)); // 4 data bits
    QVERIFY(!port.SetParity(5));
    QVERIFY(!port.SetStopBits(3));
    QCOMPARE(line::GetSpeed(fd), 128000);
    QCOMPARE(line::GetStopBits(fd), 0);
}

void TestSerialPort::readIsBounded() {
    Pty pty;
    TPlainPort port(pty.path);
    char buffer[16];
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(port.ReadBytes(buffer, 7), 0);
    QVERIFY(timer.elapsed() < 1000); // about 5 ms; generous for a loaded machine
    QCOMPARE(port.ReadBytes(buffer, 0), 0);
}

void TestSerialPort::writeAndRead() {
    Pty pty;
    TPlainPort port(pty.path);
    const QByteArray frame = QByteArray::fromHex("2a 03 10 57 00 95 3f 0d 0a 11 13");
    QVERIFY(port.WriteString(frame));
    QByteArray seen(64, '\0');
    int got = 0;
    for (int i = 0; i < 100 && got < frame.size(); ++i) {
        const ssize_t n = ::read(pty.master, seen.data() + got, size_t(seen.size() - got));
        if (n > 0)
            got += int(n);
        else
            QTest::qWait(5);
    }
    QCOMPARE(seen.left(got), frame); // binary bytes pass untouched
    QCOMPARE(::write(pty.master, frame.constData(), size_t(frame.size())), ssize_t(frame.size()));
    char buffer[16] = {};
    int read = 0;
    for (int i = 0; i < 100 && read < 5; ++i)
        read += port.ReadBytes(buffer + read, 5 - read);
    QCOMPARE(QByteArray(buffer, read), frame.left(5)); // never more than asked
}

void TestSerialPort::vanishedPortFails() {
    Pty pty;
    TPlainPort port(pty.path);
    ::close(pty.slave); // only the port keeps the device side open
    pty.slave = -1;
    pty.CloseMaster(); // the adapter is pulled out
    char buffer[8];
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(port.ReadBytes(buffer, 7), -1);
    QCOMPARE(port.ReadBytes(buffer, 7), -1);
    QVERIFY(!port.WriteString(QByteArray("x")));
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
