#include "engine/queuesnode.h"

#include "engine/buttonsnode.h"
#include "engine/callingcycle.h"
#include "engine/candidate.h"
#include "engine/commands.h"
#include "engine/helpers.h"
#include "engine/queuenode.h"
#include "engine/queueports.h"
#include "engine/setuptree.h"

#include <algorithm>

using namespace Qt::StringLiterals;

TQueuesNode::TQueuesNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Fronty"_s;
    AddText = u"Frontu"_s;
    TitleText = u"front"_s;
    KeyName = u"Queues"_s;
    EditorClass = u"TSetupQueues"_s;
    Editable = true;
    Kind = 1;
    MaxChildren = 8;
    ChildClass = TSetupNode::ClassOf<TQueueNode>();
}

TQueuesNode::~TQueuesNode() {
    // The queues are freed by the base, after this node's own fields: free their candidates
    // now, while the call list still exists, and without telling anybody (program end).
    CallList.clear();
    for (TQueueNode* q : Queues())
        q->DiscardCandidates();
}

void TQueuesNode::Load(TRegistry& key) {
    if (key.ValueExists(u"Invitation"_s))
        Invitation = key.ReadInteger(u"Invitation"_s);
}

void TQueuesNode::Tick() {
    TSetupNode::Tick();
    CallingCycle::Run(*this);
}

int TQueuesNode::CalledNumber(int mask) const {
    return CallingCycle::CalledNumber(*this, mask);
}

void TQueuesNode::DoorEntered(int mask) {
    CallingCycle::DoorEntered(*this, mask);
}

void TQueuesNode::RegisterDefaults(TSetupTree& tree) {
    tree.AddDefaultsStep(20, [](TSetupTree& t) {
        if (!t.QueuesNode)
            return;
        t.QueuesNode->CreateQueue(1, u"K lékaři"_s, 100, 999, 5, 3);
        t.QueuesNode->CreateQueue(2, u"K sestře"_s, 10, 99, 5, 3);
    });
}

TQueueNode* TQueuesNode::CreateQueue(int number, const QString& name, int minNumber, int maxNumber,
                                     int countOut, int repeatTime) {
    if (TQueueNode* existing = QueueByNumber(number))
        return existing;
    if (number < 1 || number > 999 || !ChildKeys)
        return nullptr;
    TSetupNode* node = AddChildWithValues(PadNumber3(number), [&](TRegistry& reg) {
        reg.WriteString(u"Name"_s, name);
        reg.WriteInteger(u"Min"_s, minNumber);
        reg.WriteInteger(u"Max"_s, maxNumber);
        reg.WriteInteger(u"Count Out"_s, countOut);
        reg.WriteInteger(u"Repeat Time"_s, repeatTime);
    });
    return dynamic_cast<TQueueNode*>(node);
}

QList<TQueueNode*> TQueuesNode::Queues() const {
    QList<TQueueNode*> queues;
    for (const auto& child : Children())
        if (auto* q = dynamic_cast<TQueueNode*>(child.get()))
            queues.append(q);
    return queues;
}

TQueueNode* TQueuesNode::QueueByMask(int mask) const {
    for (TQueueNode* q : Queues())
        if (q->Mask() == mask)
            return q;
    return nullptr;
}

TQueueNode* TQueuesNode::QueueByNumber(int number) const {
    for (TQueueNode* q : Queues())
        if (q->Number() == number)
            return q;
    return nullptr;
}

int TQueuesNode::AllQueues() const {
    int mask = 0;
    for (TQueueNode* q : Queues())
        mask |= q->Mask();
    return mask;
}

void TQueuesNode::AppendCall(TCandidate* candidate) {
    if (candidate)
        CallList.append(candidate);
}

void TQueuesNode::RegisterCall(TCandidate* candidate) {
    if (!candidate)
        return;
    if (candidate->State == TCandidate::Calling) {
        LastCalled = candidate->Number;
        if (candidate->Queue)
            TQueuePorts::Devices().DoorEvent(TQueuePorts::DoorCallStarted,
                                             candidate->Queue->Mask());
    }
    candidate->CallStamp = Ticks;
    CallList.append(candidate);
}

void TQueuesNode::ForgetCall(TCandidate* candidate) {
    CallList.removeAll(candidate);
}

void TQueuesNode::Broadcast(int mask, int flags) {
    if (BroadcastHandler) {
        BroadcastHandler(mask, flags);
        return;
    }
    if (Tree())
        TQueuePorts::Link().Distribute(EngineCommands::ComposeBroadcast(*Tree(), mask, flags));
}

std::optional<int> TQueuesNode::ButtonPriority(int number) const {
    if (ButtonPriorityLookup)
        return ButtonPriorityLookup(number);
    TButtonsNode* buttons = Tree() ? Tree()->ButtonsNode : nullptr;
    if (!buttons)
        return std::nullopt;
    for (const auto& child : buttons->Children()) {
        if (child->Kind == 2 && child->Number() == number) {
            TRegistry reg;
            return child->OpenKey(reg) ? reg.ReadInteger(u"Priority"_s) : 0;
        }
    }
    return std::nullopt;
}
