#include "fuzzentry.h"

#include "engine/buttonsnode.h"
#include "engine/callingcycle.h"
#include "engine/commands.h"
#include "engine/queuenode.h"
#include "engine/queuesnode.h"
#include "engine/registry.h"
#include "engine/setuptree.h"
#include "engine/stationmessage.h"
#include "engine/userprompt.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>

using namespace Qt::StringLiterals;
using namespace StationMessage;

namespace {

// A server never asks anything: any question is a failure.
class TNoDialogs final : public IUserPrompt {
public:
    bool Confirm(const QString&) override { std::abort(); }
    void Inform(const QString&) override { std::abort(); }
};

struct TEngine {
    TEngine() {
        static int argc = 1;
        static char name[] = "lobrana-fuzz";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            App = new QCoreApplication(argc, argv);
        // Data files are written after every change: keep them in memory when possible.
        const QString base = QDir(u"/dev/shm"_s).exists() ? u"/dev/shm"_s : QDir::tempPath();
        Dir = new QTemporaryDir(base + u"/lobrana-fuzz-XXXXXX"_s);
        qputenv("LOBRANA_HOME", Dir->filePath(u"home"_s).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", Dir->filePath(u"config"_s).toLocal8Bit());
        QDir().mkpath(Dir->filePath(u"home"_s));
        TUserPrompt::Install(&Prompt);
        Tree = new TSetupTree;
        Tree->BuildTree();
        Tree->Timer().stop();
        for (int n = 1; n <= 8; ++n)
            Tree->QueuesNode->CreateQueue(n, u"Fronta %1"_s.arg(n), 100, 999, 5, 3);
        Tree->ButtonsNode->CreateButton(u"Lékař"_s, 0, 1, 1);
        Tree->ButtonsNode->CreateButton(u"Akutní ošetř."_s, 3, 3, 2);
        TSetupTree* tree = Tree;
        Tree->QueuesNode->BroadcastHandler = [tree](int mask, int flags) {
            Sink += EngineCommands::ComposeBroadcast(*tree, mask, flags).size();
        };
    }
    QCoreApplication* App = nullptr;
    QTemporaryDir* Dir = nullptr;
    TSetupTree* Tree = nullptr;
    TNoDialogs Prompt;
    static inline qsizetype Sink = 0;
};

TEngine& Engine() {
    static TEngine* engine = new TEngine;
    return *engine;
}

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

int LobranaFuzzOne(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    TEngine& engine = Engine();

    // The cutter: every piece is one whole command, and pieces never overlap.
    int malformed = 0;
    const QList<QByteArray> commands = CutCommands(text, &malformed);
    qsizetype total = 0;
    for (const QByteArray& c : commands) {
        Check(CommandLength(c.constData(), c.size()) == c.size());
        Check(ReadCommand(c).has_value());
        total += c.size();
    }
    Check(total <= text.size());
    Check(malformed >= 0 && (total == text.size() || malformed > 0));

    // The interpreter, then a few ticks of the calling cycle and a full broadcast. Queues are
    // kept short so that every input stays quick.
    for (TQueueNode* q : engine.Tree->QueuesNode->Queues())
        if (q->Candidates.size() > 40)
            q->EmptyQueue();
    EngineCommands::ExecuteText(*engine.Tree, text);
    for (int i = 0; i < 3; ++i)
        engine.Tree->OnTimer();

    // The operator-side reader, and reading back what the engine builds.
    for (const QByteArray& t : {text, EngineCommands::ComposeBroadcast(*engine.Tree, 510, 15)}) {
        int bad = 0;
        const QList<TStateMessage> messages = ReadStateMessages(t, &bad);
        for (const TStateMessage& m : messages) {
            if (m.Letter == 'K') {
                Check(m.Body.size() == QueueStateSize);
                ReadQueueState(m.Body.constData());
            }
            if (m.Letter == 'R')
                Check(m.Body.size() == RecordSize);
        }
        for (int mask = 2; mask <= 256; mask *= 2)
            FindCandidateList(messages, mask);
        if (t.constData() != text.constData())
            Check(bad == 0);
    }
    return 0;
}
