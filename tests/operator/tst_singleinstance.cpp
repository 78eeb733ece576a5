// One desktop program per configuration: a second start makes the running one show its operator
// windows and ends at once. Runs the real program on a private X server.

#include "link/messagebus.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

using namespace Qt::StringLiterals;

class TestSingleInstance : public QObject {
    Q_OBJECT
private:
    QTemporaryDir Dir;
    QProcess Xvfb;
    QString Display;

    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"WAYLAND_DISPLAY"_s);
        env.insert(u"DISPLAY"_s, Display);
        env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        env.insert(u"LOBRANA_HOME"_s, Dir.path() + u"/home"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, Dir.path() + u"/config"_s);
        env.insert(u"XDG_RUNTIME_DIR"_s, Dir.path() + u"/run"_s);
        return env;
    }

private slots:
    void initTestCase() {
        QVERIFY(Dir.isValid());
        QVERIFY(QDir().mkpath(Dir.path() + u"/run"_s));
        QFile::setPermissions(Dir.path() + u"/run"_s,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", (Dir.path() + u"/run"_s).toLocal8Bit());
        // The server picks a free display and writes its number once it accepts clients.
        Xvfb.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s, u"-screen"_s,
                               u"0"_s, u"1366x768x24"_s});
        QVERIFY2(Xvfb.waitForStarted(10000), "Xvfb (Debian package xvfb) is needed");
        QByteArray number;
        for (int i = 0; i < 300 && !number.endsWith('\n'); ++i)
            if (Xvfb.waitForReadyRead(100))
                number += Xvfb.readAllStandardOutput();
        QVERIFY(number.trimmed().toInt() >= 0 && !number.trimmed().isEmpty());
        Display = u":"_s + QString::fromLatin1(number.trimmed());
    }
    void cleanupTestCase() {
        if (Xvfb.state() != QProcess::NotRunning) {
            Xvfb.terminate();
            if (!Xvfb.waitForFinished(10000))
                Xvfb.kill();
        }
    }

    void secondStartShowsTheFirst() {
        QProcess first;
        first.setProcessEnvironment(Environment());
        first.start(QString::fromLocal8Bit(qgetenv("LOBRANA_EXE")), {u"Test"_s});
        QVERIFY(first.waitForStarted(10000));
        TMessageBus probe;
        QVERIFY(probe.Register());
        // Bounded wait until the first program runs and has announced itself.
        quint32 running = 0;
        for (int i = 0; i < 600 && !running && first.state() == QProcess::Running; ++i) {
            QTest::qWait(50);
            running = probe.FindAnnounced(u"Test"_s);
        }
        QVERIFY2(running != 0, first.readAllStandardError().constData());

        // Unused codes are taken and ignored.
        QVERIFY(probe.Send(running, ProgramMessage::Request(5)));

        QProcess second;
        second.setProcessEnvironment(Environment());
        second.start(QString::fromLocal8Bit(qgetenv("LOBRANA_EXE")), {u"Test"_s});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);

        QByteArray log;
        for (int i = 0; i < 200 && !log.contains("another start"); ++i) {
            first.waitForReadyRead(50);
            log += first.readAllStandardError();
        }
        QVERIFY2(log.contains("another start asked for the operator windows"), log.constData());
        QCOMPARE(first.state(), QProcess::Running);
        QCOMPARE(probe.FindAnnounced(u"Test"_s), running);

        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        // It withdrew its announcement and its endpoint.
        QCOMPARE(probe.FindAnnounced(u"Test"_s), 0u);
        QVERIFY(!probe.Endpoints().contains(running));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
