#include "queuefixture.h"

#include "engine/datetime.h"
#include "engine/durablefile.h"
#include "engine/helpers.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

const QDateTime Monday(QDate(2025, 3, 3), QTime(8, 0));

} // namespace

class TestQueueFile : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TQueueFixture> F;

private slots:
    void init() {
        F = std::make_unique<TQueueFixture>();
        F->Start();
    }
    void cleanup() { F.reset(); }

    void fileHoldsTheLayoutByteForByte() {
        TQueueNode* q = F->Queue(2, 10, 99);
        q->NewCandidate(2, 1, {});
        q->NewCandidate(3, 3, u"vložen ručně"_s);
        const QString path = ProgramFolder() + u"/Queue number 002.data"_s;
        QCOMPARE(q->DataFileName(), path);
        TBytes file{ReadFile(path)};
        QCOMPARE(file.Data.size(), 20 + 2 * 102);
        QCOMPARE(file.Double(0), 1.14);
        QCOMPARE(file.Double(8), double(QDate(1899, 12, 30).daysTo(QDate(2025, 3, 3))));
        QCOMPARE(file.Int(16), 12);
        // The urgent one first; each record at its place.
        QCOMPARE(file.Int(20), 11);
        QCOMPARE(file.Byte(20 + 16), 3);
        QCOMPARE(file.Byte(20 + 17), 3);
        QCOMPARE(file.Byte(20 + 51), 12);
        QCOMPARE(file.Int(122), 10);
        QCOMPARE(file.Byte(122 + 16), 1);
        QCOMPARE(file.Int(122 + 82), 1); // FirstPosition: it came first
        QCOMPARE(file.Data.mid(20, 102), q->Candidates.at(0)->Record());
        // No temporary file stays behind.
        QCOMPARE(QDir(ProgramFolder()).entryList({u"*.tmp"_s}, QDir::Files), QStringList());
    }

    void restartOnTheSameDayRestoresTheQueue() {
        TQueueNode* q = F->Queue(1, 100, 999);
        for (int i = 0; i < 4; ++i)
            q->NewCandidate(1, 1, {});
        q->CallNext();
        TQueueFixture::RunCall(F->Queues, q->Candidates.at(0));
        q->CallNext(); // 100 done, 101 chosen
        q->Candidates.at(1)->SetState(TCandidate::Calling);
        q->Candidates.at(1)->CallCount = 1;
        q->MoveToEnd(102); // 102 waits at the end
        q->CallNext();     // nothing: 101 is being called
        q->SaveData();
        const QList<int> numbers = TQueueFixture::Numbers(q);
        const QList<int> states = TQueueFixture::States(q);
        const QByteArray record = q->Candidates.at(1)->Record();

        F->SetNow(Monday.addSecs(3600));
        F->Devices.Doors.clear();
        F->Start();
        F->Queues->Ticks = 0;
        TQueueNode* back = F->Queues->QueueByNumber(1);
        QVERIFY(back);
        QCOMPARE(TQueueFixture::Numbers(back), numbers);
        QCOMPARE(TQueueFixture::States(back), states);
        QCOMPARE(back->NextNumber, 104);
        QCOMPARE(back->Candidates.at(1)->Record().mid(0, 12), record.mid(0, 12));
        // The call runs again: back on the call list, the door told a call started.
        QCOMPARE(F->Queues->CallList, (QList<TCandidate*>{back->Candidates.at(1)}));
        QCOMPARE(F->Queues->LastCalled, 101);
        QCOMPARE(F->Devices.Doors, (std::vector<std::pair<int, int>>{{2, 2}}));
    }

    void reloadDuringACallCountsTheDoorHoldOnce() {
        TQueueNode* q = F->Queue(1);
        q->NewCandidate(1, 1, {});
        q->NewCandidate(1, 1, {});
        q->CallNext();
        q->Candidates.at(0)->SetState(TCandidate::Calling);
        q->SaveData();
        // The editor saves: the queue reloads the day's candidates.
        F->Devices.Doors.clear();
        q->Reload();
        QCOMPARE(q->Candidates.size(), 2);
        QCOMPARE(F->Queues->CallList.size(), 1);
        QCOMPARE(F->Queues->CallList.first(), q->Candidates.at(0));
        QCOMPARE(F->Devices.Doors, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
    }

    void aNewDayStartsEmptyAndRemovesThePhotos() {
        TQueueNode* q = F->Queue(1, 100, 999);
        F->Queue(2, 10, 99)->NewCandidate(2, 1, {});
        q->NewCandidate(1, 1, {});
        q->NewCandidate(1, 1, {});
        QDir photos(ProgramFolder() + u"/Fotky"_s);
        QVERIFY(photos.mkpath(u"."_s));
        for (const QString& name : {u"1.jpg"_s, u"22.JPG"_s, u"Kamera.EXE"_s})
            WriteFile(photos.filePath(name), "x");

        F->SetNow(Monday.addDays(1));
        F->Start();
        q = F->Queues->QueueByNumber(1);
        QVERIFY(q->Candidates.isEmpty());
        QCOMPARE(q->TakeNumber(), 100);
        QCOMPARE(photos.entryList(QDir::Files), QStringList{u"Kamera.EXE"_s});
        // Both files now belong to the new day, so a restart today keeps today's photos,
        // even of the queue that got no ticket yet.
        TBytes nurse{ReadFile(ProgramFolder() + u"/Queue number 002.data"_s)};
        QCOMPARE(DateTimeNumber::ToDate(nurse.Double(8)), QDate(2025, 3, 4));
        WriteFile(photos.filePath(u"5.jpg"_s), "x");
        F->Start();
        QVERIFY(photos.exists(u"5.jpg"_s));
    }

    void aFileOfAnotherVersionIsIgnoredAndOverwritten() {
        TQueueNode* q = F->Queue(1);
        q->NewCandidate(1, 1, {});
        const QString path = q->DataFileName();
        QByteArray bytes = ReadFile(path);
        const double old = 1.13;
        std::memcpy(bytes.data(), &old, 8); // little-endian machine
        WriteFile(path, bytes);
        F->Start();
        q = F->Queues->QueueByNumber(1);
        QVERIFY(q->Candidates.isEmpty());
        QCOMPARE(q->NextNumber, 100);
        q->NewCandidate(1, 1, {});
        QCOMPARE(TBytes{ReadFile(path)}.Double(0), 1.14);
        QCOMPARE(ReadFile(path).size(), 20 + 102);
    }

    void loadingStopsAtTheFirstInvalidRecord_data() {
        QTest::addColumn<int>("offset");
        QTest::addColumn<QByteArray>("patch");
        QTest::addColumn<int>("loaded");
        // Record 2 of 3 damaged.
        QTest::newRow("number 1000") << 20 + 102 << QByteArray("\xe8\x03\0\0", 4) << 1;
        QTest::newRow("state 9") << 20 + 102 + 46 << QByteArray("\x09") << 1;
        QTest::newRow("kind 4") << 20 + 102 + 16 << QByteArray("\x04") << 1;
        QTest::newRow("first record") << 20 + 46 << QByteArray("\xff") << 0;
        // A cut-off last record is not read.
        QTest::newRow("truncated") << -50 << QByteArray() << 2;
    }
    void loadingStopsAtTheFirstInvalidRecord() {
        QFETCH(int, offset);
        QFETCH(QByteArray, patch);
        QFETCH(int, loaded);
        TQueueNode* q = F->Queue(1);
        for (int i = 0; i < 3; ++i)
            q->NewCandidate(1, 1, {});
        const QString path = q->DataFileName();
        QByteArray bytes = ReadFile(path);
        if (offset < 0)
            bytes.chop(-offset);
        else
            bytes.replace(offset, patch.size(), patch);
        WriteFile(path, bytes);
        F->Devices.Cleared.clear();
        F->Start();
        q = F->Queues->QueueByNumber(1);
        QCOMPARE(q->Candidates.size(), loaded);
        QCOMPARE(q->NextNumber, 103);
        // The discarded record clears nobody's number on the displays.
        QVERIFY(!F->Devices.Cleared.contains(1000));
    }

    void aFailedSaveKeepsTheOldFile() {
        TQueueNode* q = F->Queue(1);
        q->NewCandidate(1, 1, {});
        const QByteArray before = ReadFile(q->DataFileName());
        // The temporary file cannot be created.
        QVERIFY(QDir().mkpath(q->DataFileName() + u".tmp"_s));
        q->NewCandidate(1, 1, {});
        QVERIFY(!q->SaveData());
        QCOMPARE(ReadFile(q->DataFileName()), before);
        QVERIFY(QDir().rmdir(q->DataFileName() + u".tmp"_s));
        QVERIFY(q->SaveData());
        QCOMPARE(ReadFile(q->DataFileName()).size(), 20 + 2 * 102);
    }

    // A writer killed at any moment leaves a file that loads whole: either the previous or
    // the next complete contents. The child writes lists of 1 to 60 candidates with
    // NextNumber equal to the count, so a loaded file tells whether it is complete.
    void killingTheWriterNeverLeavesAHalfFile() {
        TQueueNode* q = F->Queue(1);
        const QString path = q->DataFileName();
        const double today = DateTimeNumber::FromDate(Monday.date());
        auto compose = [today](int count) {
            QList<TCandidate*> list;
            for (int i = 0; i < count; ++i) {
                auto* c = new TCandidate(nullptr, nullptr);
                c->Number = 100 + i;
                c->Note = u"Poznámka %1"_s.arg(i);
                list << c;
            }
            QByteArray bytes =
                TQueueNode::ComposeData(TSetupTree::VersionNumber(), today, count, list);
            qDeleteAll(list);
            return bytes;
        };
        QVERIFY(WriteFileDurably(path, compose(1)));
        QList<QByteArray> files;
        for (int n = 1; n <= 60; ++n)
            files << compose(n);

        QRandomGenerator random(12345);
        int seen = 0;
        for (int round = 0; round < 20; ++round) {
            pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                for (int i = 0; i < 100000; ++i)
                    WriteFileDurably(path, files.at((i * 7 + round * 13) % files.size()));
                ::_exit(0);
            }
            ::usleep(useconds_t(1000 + random.bounded(30000)));
            ::kill(child, SIGKILL);
            int status = 0;
            ::waitpid(child, &status, 0);

            q->LoadData();
            const int count = int(q->Candidates.size());
            QVERIFY2(
                count >= 1 && q->NextNumber == count,
                qPrintable(u"round %1: %2 candidates, NextNumber %3"_s.arg(round).arg(count).arg(
                    q->NextNumber)));
            QCOMPARE(ReadFile(path), files.at(count - 1));
            seen += count;
        }
        QVERIFY(seen > 0);
    }
};

QTEST_GUILESS_MAIN(TestQueueFile)
#include "tst_queuefile.moc"
