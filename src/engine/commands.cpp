#include "engine/commands.h"

#include "engine/buttonsnode.h"
#include "engine/candidate.h"
#include "engine/engineports.h"
#include "engine/queuenode.h"
#include "engine/queueports.h"
#include "engine/queuesnode.h"
#include "engine/setuptree.h"

#include <QPointer>

#include <cmath>

using namespace StationMessage;

namespace EngineCommands {

namespace {

// The queue with the mask among the queues node's children in tree order, or none.
TQueueNode* QueueWithMask(const TQueuesNode* queues, int mask) {
    if (!queues)
        return nullptr;
    for (const auto& child : queues->Children())
        if (child->Kind == 2 && child->Mask() == mask)
            if (auto* q = dynamic_cast<TQueueNode*>(child.get()))
                return q;
    return nullptr;
}

// The nearest integer, halves to even; 0 when nothing was served.
qint32 Average(int total, int count) {
    if (count <= 0)
        return 0;
    return qint32(std::nearbyint(double(total) / double(count)));
}

} // namespace

bool ExecuteCommand(TSetupTree& tree, const QByteArray& message) {
    const std::optional<TCommand> command = ReadCommand(message);
    if (!command) {
        ++Counters().MalformedCommands;
        return false;
    }
    ExecuteCommand(tree, *command);
    return true;
}

void ExecuteCommand(TSetupTree& tree, const TCommand& c) {
    TQueuesNode* queues = tree.QueuesNode;
    switch (c.Letter) {
    case 'F':
        if (queues)
            queues->Broadcast(queues->AllQueues(), TQueuesNode::QueueState);
        return;
    case 'M':
        TEnginePorts::Host().SetOpened(c.Byte == '1');
        if (queues)
            queues->Broadcast(queues->AllQueues(), TQueuesNode::QueueState);
        return;
    case 'N':
        if (tree.ButtonsNode)
            tree.ButtonsNode->PressButton(c.Mask, nullptr);
        return;
    case 'X':
        if (queues)
            queues->Broadcast(0, TQueuesNode::FullList);
        else
            TQueuePorts::Link().Distribute(ComposeBroadcast(tree, 0, TQueuesNode::FullList));
        TEnginePorts::PrintBoxes().SendStates();
        TEnginePorts::Cameras().SendStates();
        return;
    default:
        break;
    }
    TQueueNode* queue = QueueWithMask(queues, c.Mask);
    if (!queue)
        return;
    switch (c.Letter) {
    case 'A':
        queue->MarkDone(c.Number);
        break;
    case 'B':
        queue->MoveToEnd(c.Number);
        break;
    case 'C':
        if (c.SubLetter == 'N')
            queue->SetNote(c.Number, c.Note);
        else if (c.SubLetter == 'Q') {
            if (TQueueNode* target = QueueWithMask(queues, c.Target))
                queue->MoveToQueue(c.Number, target);
        } else if (c.SubLetter == 'R')
            queue->SetReason(c.Number, c.Byte);
        break;
    case 'D':
        queue->CallNext();
        break;
    case 'E':
        queue->DeleteCandidate(c.Number);
        break;
    case 'L':
        TQueuePorts::Devices().DoorEvent(TQueuePorts::DoorOpen, c.Mask);
        break;
    case 'O':
        queue->NotCome();
        break;
    case 'Q':
        queue->SetActive(c.Byte == 'O');
        break;
    case 'R':
        queues->Broadcast(c.Mask, TQueuesNode::Buttons + TQueuesNode::QueueState +
                                      TQueuesNode::CandidateList);
        break;
    case 'W':
        queue->MoveForward(c.Number);
        break;
    default:
        break;
    }
}

int ExecuteText(TSetupTree& tree, const QByteArray& text) {
    int malformed = 0;
    const char* data = text.constData();
    const qsizetype size = text.size();
    qsizetype at = 0;
    // Cut and read in one pass; every command runs to its end before the next is read.
    while (at < size) {
        const qsizetype n = CommandLength(data + at, size - at);
        if (n > 0) {
            if (std::optional<TCommand> c = ReadCommand(data + at, n))
                ExecuteCommand(tree, *c);
            at += n;
            continue;
        }
        ++malformed;
        ++at;
        while (at + 1 < size && !(data[at] == '*' && data[at + 1] == 'p'))
            ++at;
        if (at + 1 >= size)
            at = size;
    }
    if (malformed)
        Counters().MalformedCommands += malformed;
    return malformed;
}

TQueueState QueueState(const TQueueNode& queue) {
    TQueueState s;
    s.Mask = queue.Mask();
    s.ServedCount = queue.ServedCount;
    s.AverageWait = Average(queue.WaitMinutes, queue.ServedCount);
    s.AverageServe = Average(queue.ServeMinutes, queue.ServedCount);
    s.ActiveCount = queue.ActiveCount();
    s.Remaining = qint32(queue.Candidates.size()) * s.ActiveCount;
    for (const TCandidate* c : queue.Candidates) {
        if (c->State == TCandidate::WasCalled) {
            s.CalledNumber = c->Number;
            break;
        }
    }
    for (const TCandidate* c : queue.Candidates) {
        const int st = c->State;
        if (st == TCandidate::Chosen || st == TCandidate::Calling) {
            s.NextNumber = -c->Number;
            break;
        }
        if (TCandidate::IsWaitingState(st)) {
            s.NextNumber = c->Number;
            break;
        }
    }
    s.LockState = TEnginePorts::PrintBoxes().LockState(s.Mask);
    s.DoorState = TEnginePorts::PrintBoxes().DoorState(s.Mask);
    s.Open = queue.Active ? 1 : 0;
    s.Rooms = queue.RoomB.Enabled ? 1 : queue.RoomA.Enabled ? 0 : 2;
    return s;
}

QByteArray ComposeBroadcast(TSetupTree& tree, int mask, int flags) {
    QByteArray text;
    const bool full = flags & TQueuesNode::FullList;
    if (full)
        text += FullListMarker();
    if ((full || (flags & TQueuesNode::Buttons)) && tree.ButtonsNode)
        for (const TButtonNode* b : tree.ButtonsNode->Buttons())
            text += ButtonInfo(b->Number(), b->Priority, b->Caption);
    TQueuesNode* queues = tree.QueuesNode;
    if (!queues)
        return text;
    const QList<TQueueNode*> all = queues->Queues();
    for (const TQueueNode* q : all)
        if (full || (q->Mask() & mask))
            text += QueueName(q->Mask(), q->Caption);
    if (flags & TQueuesNode::QueueState)
        for (const TQueueNode* q : all)
            if (q->Mask() & mask)
                AppendQueueState(text, QueueState(*q));
    if (flags & TQueuesNode::CandidateList) {
        char record[RecordSize];
        for (const TQueueNode* q : all) {
            const int m = q->Mask();
            if (!(m & mask))
                continue;
            text.reserve(text.size() + 12 + q->Candidates.size() * (6 + RecordSize));
            text += CandidateListStart(m);
            for (TCandidate* c : q->Candidates) {
                c->Position = c->CurrentPosition();
                c->WriteRecord(record);
                AppendCandidate(text, m, record);
            }
            text += CandidateListEnd(m);
        }
    }
    return text;
}

namespace {

// Delivers what the engine distributes to this program's operator side.
class TLocalLink final : public QObject, public IQueueLink {
public:
    explicit TLocalLink(TSetupTree* tree) : QObject(tree), Tree(tree) {}
    ~TLocalLink() override {
        if (&TQueuePorts::Link() == this)
            TQueuePorts::InstallLink(nullptr);
    }
    void Distribute(const QByteArray& text) override {
        if (Tree)
            Tree->DeliverToOperator(text);
    }

private:
    QPointer<TSetupTree> Tree;
};

} // namespace

void InstallLocalEngine(TSetupTree& tree) {
    TSetupTree* t = &tree;
    tree.EngineSink = [t](const QByteArray& text) { ExecuteText(*t, text); };
    TQueuePorts::InstallLink(new TLocalLink(t));
}

} // namespace EngineCommands
