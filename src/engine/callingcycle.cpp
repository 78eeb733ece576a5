#include "engine/callingcycle.h"

#include "engine/candidate.h"
#include "engine/engineports.h"
#include "engine/queuenode.h"
#include "engine/queueports.h"
#include "engine/queuesnode.h"

namespace CallingCycle {

namespace {

int MaskOf(const TCandidate* c) {
    return c->Queue ? c->Queue->Mask() : 0;
}

void EndCalls(TQueuesNode& queues, int& busy) {
    // By index: ending a call removes entries.
    for (qsizetype i = 0; i < queues.CallList.size();) {
        TCandidate* c = queues.CallList.at(i);
        if (c->State != TCandidate::Calling && c->State != TCandidate::BeingServed) {
            ++i;
            continue;
        }
        if (queues.Ticks - queues.Invitation <= c->CallStamp) {
            busy |= MaskOf(c);
            ++i;
            continue;
        }
        if (c->State == TCandidate::Calling)
            c->SetState(TCandidate::WasCalled);
        // Every entry of the candidate goes: one chosen twice must not be called again.
        queues.CallList.removeAll(c);
        if (TQueueNode* q = c->Queue) {
            q->SaveData();
            TQueuePorts::Devices().DoorEvent(TQueuePorts::DoorCallEnded, q->Mask());
            q->BroadcastQueue();
        }
    }
}

void StartCall(TQueuesNode& queues, int blocked) {
    for (TCandidate* c : std::as_const(queues.CallList)) {
        if (c->State != TCandidate::Chosen || (MaskOf(c) & blocked))
            continue;
        c->SetState(TCandidate::Calling);
        queues.LastCalled = c->Number;
        c->CallStamp = queues.Ticks;
        ++c->CallCount;
        if (TQueueNode* q = c->Queue) {
            q->SaveData();
            TQueuePorts::Devices().DoorEvent(TQueuePorts::DoorCallStarted, q->Mask());
            q->BroadcastQueue();
            IEngineAudio& audio = TEnginePorts::Audio();
            audio.PlayAlert(q, IEngineAudio::AlertInviting, c->Number);
            const int next = q->WaitingNumber(1);
            if (next > 0)
                audio.PlayAlert(q, IEngineAudio::AlertInviteSoon, next);
        }
        return;
    }
}

} // namespace

void Run(TQueuesNode& queues) {
    int busy = 0;
    EndCalls(queues, busy);
    int blocked = busy;
    if (busy)
        TEnginePorts::PrintBoxes().ForEachRow([&](int show, int rowQueues) {
            if (show == 0 && (rowQueues & busy))
                blocked |= rowQueues;
        });
    StartCall(queues, blocked);
}

int CalledNumber(const TQueuesNode& queues, int mask) {
    for (const TCandidate* c : queues.CallList)
        if (c->State == TCandidate::Calling && (MaskOf(c) & mask))
            return c->Number;
    return -1;
}

void DoorEntered(TQueuesNode& queues, int mask) {
    for (TCandidate* c : std::as_const(queues.CallList)) {
        if (c->State == TCandidate::Calling && (MaskOf(c) & mask)) {
            c->SetState(TCandidate::BeingServed);
            c->CallStamp = queues.Ticks - queues.Invitation + 20;
            return;
        }
    }
}

} // namespace CallingCycle
