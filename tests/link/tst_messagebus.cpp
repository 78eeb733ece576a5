// The message bus between the programs: codes, sends with acknowledgement, broadcasts, the
// announced main program, and peers that send garbage.

#include "link/messagebus.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QMutex>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

using TMessage = QPair<quint32, quint32>;

// A bus serving on a thread of its own, as another program would, so that a send from the test's
// thread can wait for its acknowledgement.
class TRemoteBus {
public:
    TRemoteBus() {
        Bus = new TMessageBus;
        Ok = Bus->Register();
        QObject::connect(
            Bus, &TMessageBus::Received, Bus,
            [this](quint32 first, quint32 sender) {
                {
                    QMutexLocker lock(&Lock);
                    Got.append({first, sender});
                }
                // A capture program answers a ping to the window that asked, after its ack.
                if (first == ProgramMessage::Request(ProgramMessage::Ping))
                    QMetaObject::invokeMethod(
                        Bus, [this, first, sender] { Bus->SendAnswer(first, sender); },
                        Qt::QueuedConnection);
            },
            Qt::DirectConnection);
        Bus->moveToThread(&Thread);
        Thread.start();
    }
    ~TRemoteBus() {
        QMetaObject::invokeMethod(
            Bus, [this] { delete Bus; }, Qt::BlockingQueuedConnection);
        Thread.quit();
        Thread.wait();
    }
    QList<TMessage> Messages() {
        QMutexLocker lock(&Lock);
        return Got;
    }

    TMessageBus* Bus = nullptr;
    bool Ok = false;

private:
    QThread Thread;
    QMutex Lock;
    QList<TMessage> Got;
};

} // namespace

class TestMessageBus : public QObject {
    Q_OBJECT
private:
    QTemporaryDir Runtime;

private slots:
    void initTestCase() {
        QVERIFY(Runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", Runtime.path().toLocal8Bit());
    }

    void firstParameter_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<quint32>("argument");
        QTest::addColumn<quint32>("request");
        QTest::addColumn<quint32>("answer");
        QTest::newRow("another start") << 0 << 0u << 0u << 0x80000000u;
        QTest::newRow("ping") << 1 << 0u << 0x10000000u << 0x90000000u;
        QTest::newRow("show capture") << 2 << 0u << 0x20000000u << 0xA0000000u;
        QTest::newRow("capture 12345678") << 3 << 12345678u << 0x30BC614Eu << 0xB0BC614Eu;
        QTest::newRow("close capture") << 4 << 0u << 0x40000000u << 0xC0000000u;
        QTest::newRow("end") << 7 << 0u << 0x70000000u << 0xF0000000u;
    }
    void firstParameter() {
        QFETCH(int, code);
        QFETCH(quint32, argument);
        QFETCH(quint32, request);
        QFETCH(quint32, answer);
        QCOMPARE(ProgramMessage::Request(code, argument), request);
        QCOMPARE(ProgramMessage::Answer(request), answer);
        QCOMPARE(ProgramMessage::CodeOf(answer), code);
        QVERIFY(ProgramMessage::IsAnswer(answer));
        QVERIFY(!ProgramMessage::IsAnswer(request));
        QCOMPARE(ProgramMessage::ArgumentOf(answer), argument);
    }

    // A send returns once the receiver has handled the message; the ping's answer comes back
    // with the answering program's handle; an argument that does not fit is refused.
    void sendWaitsForTheReceiver() {
        TMessageBus main;
        QVERIFY(main.Register());
        TRemoteBus kamera;
        QVERIFY(kamera.Ok);
        QVERIFY(main.Handle() != kamera.Bus->Handle());
        QSignalSpy answers(&main, &TMessageBus::Received);

        QVERIFY(main.SendRequest(ProgramMessage::Capture, 12345678, kamera.Bus->Handle()));
        QCOMPARE(kamera.Messages(), QList<TMessage>({{0x30BC614Eu, main.Handle()}}));

        QVERIFY(main.SendRequest(ProgramMessage::Ping, 0));
        QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 10000);
        QCOMPARE(answers.at(0).at(0).value<quint32>(), 0x90000000u);
        QCOMPARE(answers.at(0).at(1).value<quint32>(), kamera.Bus->Handle());

        QVERIFY(!main.SendRequest(ProgramMessage::Capture, 0x10000000u, kamera.Bus->Handle()));
        QVERIFY(!main.SendRequest(8, 0, kamera.Bus->Handle()));
        QCOMPARE(kamera.Messages().size(), 2);
    }

    // A broadcast reaches every other program but not the sender, and a message that claims to
    // come from the receiver itself is acknowledged but not acted on.
    void broadcastSkipsTheSender() {
        TMessageBus main;
        QVERIFY(main.Register());
        QSignalSpy own(&main, &TMessageBus::Received);
        TRemoteBus a;
        TRemoteBus b;
        QVERIFY(a.Ok && b.Ok);
        QCOMPARE(main.Endpoints().size(), 3);
        QCOMPARE(main.Broadcast(ProgramMessage::Request(ProgramMessage::CloseCapture)), 2);
        QCOMPARE(a.Messages(), QList<TMessage>({{0x40000000u, main.Handle()}}));
        QCOMPARE(b.Messages(), QList<TMessage>({{0x40000000u, main.Handle()}}));
        QVERIFY(!main.Send(main.Handle(), 0));

        QLocalSocket forged;
        forged.connectToServer(TMessageBus::Folder() + u'/' +
                               u"%1.sock"_s.arg(a.Bus->Handle(), 8, 16, QLatin1Char('0')));
        QVERIFY(forged.waitForConnected(5000));
        forged.write(TMessageBus::Frame(0x70000000u, a.Bus->Handle()));
        QVERIFY(forged.waitForReadyRead(5000));
        QCOMPARE(forged.readAll(), QByteArray("\x06"));
        QCOMPARE(a.Messages().size(), 1);
        QTest::qWait(20);
        QCOMPARE(own.size(), 0);
    }

    // Garbage, a message that never completes and a receiver that is gone neither block nor
    // crash anything; the receiver keeps serving.
    void garbageAndAbsentPeers() {
        TMessageBus main;
        QVERIFY(main.Register());
        main.TimeoutMs = 5000;
        TRemoteBus peer;
        QVERIFY(peer.Ok);
        peer.Bus->ReceiveTimeoutMs = 300;
        const QString path = TMessageBus::Folder() + u'/' +
                             u"%1.sock"_s.arg(peer.Bus->Handle(), 8, 16, QLatin1Char('0'));
        QLocalSocket junk;
        junk.connectToServer(path);
        QVERIFY(junk.waitForConnected(5000));
        junk.write("GET / HTTP/1.0\r\n\r\n");
        QLocalSocket partial;
        partial.connectToServer(path);
        QVERIFY(partial.waitForConnected(5000));
        partial.write(TMessageBus::Frame(0x10000000u, 1).left(7));
        partial.flush();
        // The partial sender is dropped once its time is up, without an acknowledgement.
        QVERIFY(partial.waitForDisconnected(10000));
        QCOMPARE(partial.readAll(), QByteArray());
        QVERIFY(main.Send(peer.Bus->Handle(), 0x20000000u));
        QCOMPARE(peer.Messages(), QList<TMessage>({{0x20000000u, main.Handle()}}));

        // An endpoint nobody listens on any more is absent and its file is cleared away.
        QFile stale(TMessageBus::Folder() + u"/0badf00d.sock"_s);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        QCOMPARE(main.Deliver(0x0badf00du, 0), TMessageBus::TDelivery::Absent);
        QCOMPARE(main.Deliver(0x12345678u, 0), TMessageBus::TDelivery::Absent);
        QVERIFY(!stale.exists());
    }

    // The running main program is found by the name it announced, until it ends.
    void announcedProgram() {
        TMessageBus second;
        QVERIFY(second.Register());
        QCOMPARE(second.FindAnnounced(u"Čekárna 2"_s), 0u);
        quint32 handle = 0;
        {
            TMessageBus running;
            QVERIFY(running.Register());
            handle = running.Handle();
            QVERIFY(running.Announce(u"Čekárna 2"_s));
            QCOMPARE(second.FindAnnounced(u"Čekárna 2"_s), handle);
            QCOMPARE(second.FindAnnounced(u""_s), 0u);
            QCOMPARE(running.FindAnnounced(u"Čekárna 2"_s), 0u); // not itself
        }
        QCOMPARE(second.FindAnnounced(u"Čekárna 2"_s), 0u);
        QVERIFY(!second.Endpoints().contains(handle));
    }

    // A bus folder that is not private to this user is not used.
    void folderMustBePrivate() {
        QTemporaryDir other;
        QVERIFY(QDir(other.path()).mkdir(u"elsewhere"_s));
        QVERIFY(QFile::link(other.path() + u"/elsewhere"_s, other.path() + u"/lobrana"_s));
        qputenv("XDG_RUNTIME_DIR", other.path().toLocal8Bit());
        TMessageBus bus;
        const bool registered = bus.Register();
        qputenv("XDG_RUNTIME_DIR", Runtime.path().toLocal8Bit());
        QVERIFY(!registered);
        QVERIFY(!bus.Send(1, 0));

        QVERIFY(QFile::remove(other.path() + u"/lobrana"_s));
        QVERIFY(QDir(other.path()).mkdir(u"lobrana"_s));
        QFile::setPermissions(other.path() + u"/lobrana"_s, QFile::ReadOwner | QFile::WriteOwner |
                                                                QFile::ExeOwner | QFile::ReadOther |
                                                                QFile::ExeOther);
        qputenv("XDG_RUNTIME_DIR", other.path().toLocal8Bit());
        const QString folder = TMessageBus::Folder();
        qputenv("XDG_RUNTIME_DIR", Runtime.path().toLocal8Bit());
        QCOMPARE(folder, QString());
    }
};

QTEST_GUILESS_MAIN(TestMessageBus)
#include "tst_messagebus.moc"
