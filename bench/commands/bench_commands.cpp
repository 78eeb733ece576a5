// Cutting and executing commands that save nothing, and building the full broadcast of eight
// queues with 50 candidates each.

#include "engine/buttonsnode.h"
#include "engine/candidate.h"
#include "engine/commands.h"
#include "engine/queuenode.h"
#include "engine/queueports.h"
#include "engine/queuesnode.h"
#include "engine/registry.h"
#include "engine/setuptree.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

class TCountingLink final : public IQueueLink {
public:
    void Distribute(const QByteArray& text) override { Bytes += text.size(); }
    qint64 Bytes = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("LOBRANA_HOME", QDir(dir.path()).filePath(u"home"_s).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", QDir(dir.path()).filePath(u"config"_s).toLocal8Bit());
    QDir().mkpath(QDir(dir.path()).filePath(u"home"_s));
    TCountingLink link;
    TQueuePorts::InstallLink(&link);

    TSetupTree tree;
    tree.BuildTree();
    tree.Timer().stop();
    for (int n = 1; n <= 8; ++n)
        tree.QueuesNode->CreateQueue(n, u"Fronta %1"_s.arg(n), 100, 999, 100, 3);
    tree.ButtonsNode->CreateButton(u"Lékař"_s, 0, 1, 1);
    tree.ButtonsNode->CreateButton(u"Sestra"_s, 1, 1, 2);
    tree.ButtonsNode->CreateButton(u"Odběry Injek."_s, 2, 1, 2);
    tree.ButtonsNode->CreateButton(u"Akutní ošetř."_s, 3, 3, 1);
    // The candidates are put in directly: this measures the broadcast, not the data file.
    for (TQueueNode* q : tree.QueuesNode->Queues()) {
        for (int i = 0; i < 50; ++i) {
            auto* c = new TCandidate(q, nullptr);
            c->Number = 100 + i;
            c->State = quint8(i < 10 ? TCandidate::Done : TCandidate::Waiting);
            c->SetNote(u"poznámka %1"_s.arg(i));
            q->Candidates.append(c);
        }
    }
    TSetupTree* t = &tree;
    tree.QueuesNode->BroadcastHandler = [t, &link](int mask, int flags) {
        link.Distribute(EngineCommands::ComposeBroadcast(*t, mask, flags));
    };

    // Commands that save nothing: one text of 1000 "*pR" and "*pF", cut and executed.
    QByteArray text;
    for (int i = 0; i < 500; ++i)
        text += "*pR" + QByteArray(i % 2 ? "002" : "256") + "*pF";
    const int rounds = 40;
    QElapsedTimer timer;
    timer.start();
    for (int r = 0; r < rounds; ++r)
        EngineCommands::ExecuteText(tree, text);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    std::printf("commands (*pR queue with 50 candidates, *pF of 8 queues): %.0f per second\n",
                1000.0 * rounds / seconds);

    // Commands that the cutter and the interpreter pass over quickly: masks of no queue.
    QByteArray ignored;
    for (int i = 0; i < 1000; ++i)
        ignored += "*pD008*pR016";
    timer.restart();
    for (int r = 0; r < rounds; ++r)
        EngineCommands::ExecuteText(tree, ignored);
    std::printf("commands for no queue (*pD, *pR): %.0f per second\n",
                2000.0 * rounds / (double(timer.nsecsElapsed()) / 1e9));

    // The full broadcast: every button, every queue's name, state and candidate list.
    const int all = tree.QueuesNode->AllQueues();
    const int builds = 2000;
    qsizetype size = 0;
    timer.restart();
    for (int i = 0; i < builds; ++i)
        size = EngineCommands::ComposeBroadcast(tree, all, 1 + 2 + 4 + 8).size();
    const double perBuild = double(timer.nsecsElapsed()) / 1e6 / builds;
    std::printf("full broadcast of 8 queues x 50 candidates (%lld bytes): %.3f ms\n",
                static_cast<long long>(size), perBuild);
    TQueuePorts::InstallLink(nullptr);
    return 0;
}
