// lobrana-devsim as outside tests use it: options, commands on standard input, JSON lines out,
// tickets as PNG files, with the bus master on the linked device path.
#include "devices/modifiedhuffman.h"
#include "devices/vantrelthread.h"

#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace lobrana::devices;

namespace {

class TDevsim {
public:
    explicit TDevsim(const QStringList& args) {
        const QString program = qEnvironmentVariable("LOBRANA_BUILD_DIR") +
                                QStringLiteral("/tools/devsim/lobrana-devsim");
        m_process.setProgram(program);
        m_process.setArguments(args);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            m_buffer.append(m_process.readAllStandardOutput());
            for (qsizetype nl; (nl = m_buffer.indexOf('\n')) >= 0;) {
                const QByteArray line = m_buffer.first(nl);
                m_buffer.remove(0, nl + 1);
                if (firstLine.isEmpty())
                    firstLine = QString::fromLocal8Bit(line);
                else
                    events.append(QJsonDocument::fromJson(line).object());
            }
        });
        m_process.start();
    }
    ~TDevsim() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }
    bool Started() {
        return m_process.waitForStarted(5000) &&
               QTest::qWaitFor([this] { return !firstLine.isEmpty(); }, 5000);
    }
    void Send(const QString& line) { m_process.write(line.toUtf8() + '\n'); }
    QJsonObject WaitEvent(const QString& name, int after = 0) {
        QJsonObject found;
        [[maybe_unused]] const bool seen = QTest::qWaitFor(
            [&] {
                for (qsizetype i = after; i < events.size(); ++i)
                    if (events[i].value(QStringLiteral("event")).toString() == name) {
                        found = events[i];
                        return true;
                    }
                return false;
            },
            5000);
        return found;
    }
    QProcess& Process() { return m_process; }

    QString firstLine;
    QList<QJsonObject> events;

private:
    QProcess m_process;
    QByteArray m_buffer;
};

struct Message {
    std::uint8_t address;
    char command;
    QByteArray data;
};

} // namespace

class TestDevsim : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void drivesTheControllerAndDisplays();
    void printsTickets();
    void refusesWithFault();
    void rejectsBadOptions();

private:
    std::unique_ptr<TVantrelThread> OpenMaster(const QString& path);
    QList<Message> m_messages;
    QList<std::pair<char, QByteArray>> m_replies;
};

void TestDevsim::initTestCase() {
    QVERIFY(!qEnvironmentVariable("LOBRANA_BUILD_DIR").isEmpty());
}

std::unique_ptr<TVantrelThread> TestDevsim::OpenMaster(const QString& path) {
    TVantrelThread::Options options;
    options.startDelayMs = 0;
    auto master = std::make_unique<TVantrelThread>(path, options);
    m_messages.clear();
    m_replies.clear();
    master->SetOnMessage(
        [this](TVantrelThread*, const TVantrelPacket& m, std::uint8_t&, char& command) {
            m_messages.append(Message{m.Address, m.Command, m.Data});
            command = 'A';
        });
    master->SetOnReply([this](TVantrelThread*, TVantrelDevice*, const QByteArray& data,
                              char command, const TVantrelPacket&) {
        m_replies.append({command, data});
    });
    return master;
}

void TestDevsim::drivesTheControllerAndDisplays() {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("bus0"));
    TDevsim sim({QStringLiteral("--link"), link, QStringLiteral("--display"), QStringLiteral("2:3"),
                 QStringLiteral("--sw-version"), QStringLiteral("3.7"), QStringLiteral("--name"),
                 QStringLiteral("Box")});
    QVERIFY(sim.Started());
    QCOMPARE(sim.firstLine, link);
    QVERIFY(QFileInfo(link).isSymLink());
    auto master = OpenMaster(link);
    auto controller = master->Devices.AddDevice(0, 1000);
    auto display = master->Devices.AddDevice(2, 1000);

    sim.Send(QStringLiteral("announce"));
    sim.Send(QStringLiteral("press 0 1"));
    sim.Send(QStringLiteral("paper 2"));
    sim.Send(QStringLiteral("door 1 1"));
    QVERIFY(QTest::qWaitFor([&] { return m_messages.size() == 5; }, 10000));
    QCOMPARE(m_messages[0].command, 'R');
    QCOMPARE(m_messages[0].address, std::uint8_t(0));
    QCOMPARE(m_messages[0].data.size(), 39);
    QCOMPARE(m_messages[0].data.left(2), QByteArray::fromHex("0307"));
    QCOMPARE(m_messages[0].data.mid(3, 4), QByteArray("Box\0", 4));
    QCOMPARE(m_messages[1].command, 'R');
    QCOMPARE(m_messages[1].address, std::uint8_t(2));
    QCOMPARE(m_messages[1].data.size(), 36);
    QCOMPARE(int(m_messages[1].data[35]), 3);
    QCOMPARE(m_messages[2].command, 'K');
    QCOMPARE(m_messages[2].data, QByteArray::fromHex("03"));
    QCOMPARE(m_messages[3].command, 'E');
    QCOMPARE(m_messages[3].data, QByteArray::fromHex("000002"));
    QCOMPARE(m_messages[4].command, 'V');
    QCOMPARE(m_messages[4].data, QByteArray::fromHex("02"));

    // Display rows come back as text: "  5", "---", dark.
    display->AddPacket('D', QByteArray::fromHex("00006d 404040 000000 000000 000000"), false);
    const QJsonObject shown = sim.WaitEvent(QStringLiteral("display"));
    QCOMPARE(shown.value(QStringLiteral("addr")).toInt(), 2);
    QCOMPARE(shown.value(QStringLiteral("rows")).toVariant().toStringList(),
             QStringList({QStringLiteral("  5"), QStringLiteral("---"), QStringLiteral("   ")}));
    controller->AddPacket('W', {}, false);
    display->AddPacket('Q', {}, false); // unknown to a display
    QVERIFY(QTest::qWaitFor([&] { return m_replies.size() == 3; }, 5000));
    int accepted = 0;
    for (const auto& reply : std::as_const(m_replies))
        accepted += reply.first == 'A';
    QCOMPARE(accepted, 2); // digits and poll accepted, the unknown command refused

    // Every frame is reported as JSON, both ways.
    bool sawRx = false;
    for (const QJsonObject& o : std::as_const(sim.events))
        sawRx |= o.value(QStringLiteral("dir")).toString() == u"rx" &&
                 o.value(QStringLiteral("cmd")).toString() == u"D";
    QVERIFY(sawRx);

    sim.Send(QStringLiteral("quit"));
    QVERIFY(sim.Process().waitForFinished(5000));
    QCOMPARE(sim.Process().exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink()); // the link goes with the simulator
}

void TestDevsim::printsTickets() {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("bus0"));
    const QString tickets = dir.filePath(QStringLiteral("tickets"));
    TDevsim sim({QStringLiteral("--link"), link, QStringLiteral("--tickets"), tickets,
                 QStringLiteral("--no-displays")});
    QVERIFY(sim.Started());
    auto master = OpenMaster(link);
    auto controller = master->Devices.AddDevice(0, 1000);

    // A ticket image: a frame and a diagonal, set bit white as the renderer makes it.
    const int width = 576, height = 300, stride = 72;
    QByteArray bits(stride * height, char(0xFF));
    auto black = [&](int x, int y) {
        bits[y * stride + x / 8] =
            char(std::uint8_t(bits[y * stride + x / 8]) & ~(0x80 >> (x % 8)));
    };
    for (int y = 0; y < height; ++y) {
        black(y + 100, y);
        black(0, y);
        for (int x = 200; x < 230 && y % 16 == 0; ++x)
            black(x, y);
    }
    for (int x = 0; x < width; ++x)
        black(x, height - 1);
    QByteArray data;
    const int n = EncodeG3(TMhBitmap{width, height, stride,
                                     reinterpret_cast<const std::uint8_t*>(bits.constData()), true},
                           65535, data, mhOmitLastWhite | mhDleFraming, height);
    QCOMPARE(n, data.size());
    QVERIFY(data.size() > 600); // travels in several packets
    QByteArray header;
    header.append(char(n >> 8)).append(char(n)).append(char(height >> 8)).append(char(height));
    controller->AddPacket('P', header, false);
    controller->AddPacket('T', data, false);

    const QJsonObject ticket = sim.WaitEvent(QStringLiteral("ticket"));
    QVERIFY2(!ticket.contains(QStringLiteral("error")),
             qPrintable(ticket.value(QStringLiteral("error")).toString()));
    QCOMPARE(ticket.value(QStringLiteral("lines")).toInt(), height);
    const QImage image(ticket.value(QStringLiteral("file")).toString());
    QCOMPARE(image.size(), QSize(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool expectedBlack =
                !((std::uint8_t(bits[y * stride + x / 8]) >> (7 - x % 8)) & 1);
            if ((qGray(image.pixel(x, y)) < 128) != expectedBlack)
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    // The end of the print step is reported; after the cut the printer reports again.
    QVERIFY(QTest::qWaitFor([&] { return m_messages.size() == 1; }, 5000));
    QCOMPARE(m_messages[0].command, 'E');
    controller->AddPacket('C', QByteArray::fromHex("0064"), false);
    QVERIFY(QTest::qWaitFor([&] { return m_messages.size() == 2; }, 5000));
    QCOMPARE(m_messages[1].command, 'E');

    // A broken job is reported, not printed as if sound.
    controller->AddPacket('P', QByteArray::fromHex("0004 0002"), false);
    controller->AddPacket('T', QByteArray::fromHex("ffff1003"), false);
    const QJsonObject broken =
        sim.WaitEvent(QStringLiteral("ticket"), int(sim.events.indexOf(ticket)) + 1);
    QVERIFY(broken.contains(QStringLiteral("error")));
}

void TestDevsim::refusesWithFault() {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("bus0"));
    TDevsim sim({QStringLiteral("--link"), link});
    QVERIFY(sim.Started());
    auto master = OpenMaster(link);
    auto controller = master->Devices.AddDevice(0, 1000);
    sim.Send(QStringLiteral("fault 13"));
    QVERIFY(!sim.WaitEvent(QStringLiteral("ok")).isEmpty());
    controller->AddPacket('P', QByteArray::fromHex("00021003"), false);
    controller->AddPacket('W', {}, false);
    QVERIFY(QTest::qWaitFor([&] { return m_replies.size() == 2; }, 5000));
    QCOMPARE(m_replies[0].first, 'N');
    QCOMPARE(m_replies[0].second, QByteArray(1, char(13)));
    QCOMPARE(m_replies[1].first, 'A'); // the poll is still answered
    sim.Send(QStringLiteral("fault none"));
    QVERIFY(QTest::qWaitFor([&] { return m_messages.size() == 1; }, 5000));
    QCOMPARE(m_messages[0].command, 'E'); // ready again
    sim.Send(QStringLiteral("fault 9"));
    QVERIFY(!sim.WaitEvent(QStringLiteral("error")).isEmpty());
}

void TestDevsim::rejectsBadOptions() {
    for (const QStringList& args :
         {QStringList{QStringLiteral("--display"), QStringLiteral("0")},
          QStringList{QStringLiteral("--display"), QStringLiteral("3:9")},
          QStringList{QStringLiteral("--baud"), QStringLiteral("fast")}}) {
        QProcess p;
        p.start(qEnvironmentVariable("LOBRANA_BUILD_DIR") +
                    QStringLiteral("/tools/devsim/lobrana-devsim"),
                args);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(!p.readAllStandardError().isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestDevsim)
#include "tst_devsim.moc"
