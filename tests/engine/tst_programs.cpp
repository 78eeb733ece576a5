// The command-line programs, run as users and scripts run them.

#include "support/testenv.h"

#include <QProcess>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

struct Result {
    int Status = -1;
    QByteArray Out, Err;
};

Result Run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(program, args);
    p.waitForStarted();
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(30000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

QString Reg() {
    return QString::fromLocal8Bit(qgetenv("LOBRANA_REG"));
}

Result RegRun(const QStringList& args, const QByteArray& input = {}) {
    return Run(Reg(), args, input);
}

} // namespace

class TestPrograms : public QObject {
    Q_OBJECT
private slots:
    void init() { Env = std::make_unique<TTestEnv>(); }
    void cleanup() { Env.reset(); }

    void regExportDeleteImportRestoresExactly() {
        QCOMPARE(
            RegRun({u"set"_s, u"Queues/002/Statistics"_s, u"Sum Square"_s, u"--int"_s, u"4123"_s})
                .Status,
            0);
        QCOMPARE(RegRun({u"set"_s, u"Queues\\002"_s, u"Name"_s, u"--text"_s,
                         u"K sestře – odběry \"ráno\""_s})
                     .Status,
                 0);
        QCOMPARE(RegRun({u"set"_s, u"Queues/002/Statistics"_s, u"Day Date"_s, u"--datetime"_s,
                         u"46367.5416666667"_s})
                     .Status,
                 0);
        QCOMPARE(RegRun({u"set"_s, u"Queues/002"_s, u"Blink"_s, u"--bool"_s, u"1"_s}).Status, 0);
        QCOMPARE(RegRun({u"set"_s, u"Queues/002"_s, u"Block"_s, u"--binary"_s, u"00ff10"_s}).Status,
                 0);
        Result exported = RegRun({u"export"_s, u"Queues"_s});
        QCOMPARE(exported.Status, 0);
        QCOMPARE(RegRun({u"delete"_s, u"Queues"_s}).Status, 0);
        QCOMPARE(RegRun({u"list"_s, u"Queues"_s}).Status, 1);
        QCOMPARE(RegRun({u"import"_s}, exported.Out).Status, 0);
        QCOMPARE(RegRun({u"export"_s, u"Queues"_s}).Out, exported.Out);

        QCOMPARE(RegRun({u"get"_s, u"queues/002"_s, u"name"_s}).Out,
                 u"K sestře – odběry \"ráno\"\n"_s.toUtf8());
        QCOMPARE(RegRun({u"get"_s, u"Queues/002/Statistics"_s, u"Sum Square"_s}).Out,
                 QByteArray("4123\n"));
        QCOMPARE(RegRun({u"get"_s, u"Queues/002/Statistics"_s, u"Day Date"_s}).Out.trimmed(),
                 QByteArray("46367.541666666701"));
        QCOMPARE(RegRun({u"values"_s, u"Queues/002"_s}).Out,
                 u"Blink\tbool\t1\nBlock\tbinary\t00ff10\nName\ttext\tK sestře – odběry "
                 "\"ráno\"\n"_s.toUtf8());
        QCOMPARE(RegRun({u"list"_s, u"Queues"_s}).Out, QByteArray("002\n"));
    }

    void regUsageAndMissingValues_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::newRow("no command") << QStringList{} << 2;
        QTest::newRow("unknown command") << QStringList{u"frob"_s} << 2;
        QTest::newRow("unknown option") << QStringList{u"--machine"_s, u"list"_s, u"x"_s} << 2;
        QTest::newRow("set without type")
            << QStringList{u"set"_s, u"A"_s, u"v"_s, u"1"_s, u"2"_s} << 2;
        QTest::newRow("bad bool") << QStringList{u"set"_s, u"A"_s, u"v"_s, u"--bool"_s, u"2"_s}
                                  << 2;
        QTest::newRow("bad int") << QStringList{u"set"_s, u"A"_s, u"v"_s, u"--int"_s, u"x"_s} << 2;
        QTest::newRow("missing value") << QStringList{u"get"_s, u"Connect"_s, u"Nic"_s} << 1;
        QTest::newRow("missing key") << QStringList{u"get"_s, u"Nikde"_s, u"Nic"_s} << 1;
    }
    void regUsageAndMissingValues() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        Result r = RegRun(args);
        QCOMPARE(r.Status, status);
        if (status == 2)
            QVERIFY(r.Err.contains("usage:"));
    }

    void regSeparatesHivesAndConfigurations() {
        QCOMPARE(
            RegRun({u"--user"_s, u"set"_s, u"Hot Keys"_s, u"Invite"_s, u"--int"_s, u"1"_s}).Status,
            0);
        QCOMPARE(RegRun({u"--config"_s, u"B"_s, u"set"_s, u"Connect"_s, u"Port"_s, u"--int"_s,
                         u"5000"_s})
                     .Status,
                 0);
        QCOMPARE(RegRun({u"get"_s, u"Hot Keys"_s, u"Invite"_s}).Status, 1);
        QCOMPARE(RegRun({u"--user"_s, u"get"_s, u"Hot Keys"_s, u"Invite"_s}).Out,
                 QByteArray("1\n"));
        QCOMPARE(RegRun({u"get"_s, u"Connect"_s, u"Port"_s}).Status, 1);
        QCOMPARE(RegRun({u"--config"_s, u"B"_s, u"get"_s, u"Connect"_s, u"Port"_s}).Out,
                 QByteArray("5000\n"));
        QVERIFY(QFileInfo::exists(Env->Path() + u"/config/lobrana/user.db"_s));
        QVERIFY(QFileInfo::exists(Env->Path() + u"/home/registry.db"_s));
    }

    // The engine runs without a display, creates its defaults, and ends in order on SIGTERM.
    void headlessStartsAndStopsOnSignal() {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"DISPLAY"_s);
        env.remove(u"WAYLAND_DISPLAY"_s);
        env.insert(u"QT_QPA_PLATFORM"_s, u"none-such"_s); // a display would fail to load
        p.setProcessEnvironment(env);
        p.start(QString::fromLocal8Bit(qgetenv("LOBRANA_EXE")), {u"--headless"_s, u"Test"_s});
        QVERIFY(p.waitForStarted());
        // Wait (bounded) until the first-run defaults are stored.
        bool configured = false;
        for (int i = 0; i < 600 && !configured; ++i) {
            QTest::qWait(50);
            configured =
                RegRun({u"--config"_s, u"Test"_s, u"get"_s, u"Connect"_s, u"ComputerType"_s})
                    .Status == 0;
        }
        QVERIFY(configured);
        QCOMPARE(p.state(), QProcess::Running);
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
    }

private:
    std::unique_ptr<TTestEnv> Env;
};

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
