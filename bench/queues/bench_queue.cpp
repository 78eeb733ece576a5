// A queue operation with its durable save of the data file, on a queue of 100 candidates,
// compared with a bare write-flush-rename of the same bytes, measured in the same run.
// The program folder is a temporary folder ($LOBRANA_BENCH_DIR chooses where it lies).

#include "engine/durablefile.h"
#include "engine/queuenode.h"
#include "engine/queuesnode.h"
#include "engine/registry.h"
#include "engine/setuptree.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString base = qEnvironmentVariable("LOBRANA_BENCH_DIR", QDir::tempPath());
    QTemporaryDir dir(base + u"/lobrana-bench-XXXXXX"_s);
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a folder in %s\n", qPrintable(base));
        return 1;
    }
    qputenv("LOBRANA_HOME", QFile::encodeName(dir.filePath(u"home"_s)));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(u"config"_s)));
    QDir().mkpath(dir.filePath(u"home"_s));
    TConfigStore::CloseHives();

    {
        TSetupTree tree;
        tree.BuildTree();
        tree.Timer().stop();
        TQueueNode* q = tree.QueuesNode->CreateQueue(1, u"K lékaři"_s, 100, 999, 10, 2);
        for (int i = 0; i < 100; ++i)
            q->NewCandidate(1, i % 7 == 0 ? 3 : 1, u"Poznámka"_s);
        const QByteArray bytes = ReadWholeFile(q->DataFileName());
        const QString barePath = dir.filePath(u"home/bare.data"_s);

        const int rounds = 5;
        const int perRound = 400;
        qint64 queueNs = 0;
        qint64 bareNs = 0;
        QElapsedTimer timer;
        for (int r = 0; r < rounds; ++r) {
            // Interleaved, so that both see the same state of the disk.
            timer.start();
            for (int i = 0; i < perRound; ++i)
                q->MoveToEnd(q->Candidates.first()->Number);
            queueNs += timer.nsecsElapsed();
            timer.start();
            for (int i = 0; i < perRound; ++i)
                WriteFileDurably(barePath, bytes);
            bareNs += timer.nsecsElapsed();
        }
        const double ops = double(rounds * perRound);
        const double queueRate = ops / (queueNs / 1e9);
        const double bareRate = ops / (bareNs / 1e9);
        const double ratio = queueRate / bareRate;
        std::printf("file of %lld bytes (100 candidates), %d operations each\n",
                    static_cast<long long>(bytes.size()), int(ops));
        std::printf("queue operation + durable save: %8.0f ops/s  (%.3f ms each)\n", queueRate,
                    1e3 / queueRate);
        std::printf("bare write-flush-rename:        %8.0f ops/s  (%.3f ms each)\n", bareRate,
                    1e3 / bareRate);
        std::printf("ratio %.2f (target at least 0.50); rate target at least 1000 ops/s: %s\n",
                    ratio, queueRate >= 1000 && ratio >= 0.5 ? "met" : "NOT met");
    }
    TConfigStore::CloseHives();
    return 0;
}
