#pragma once

#include "engine/setupnode.h"

#include <QList>

#include <functional>
#include <optional>

class TCandidate;
class TQueueNode;

// "Fronty": the container of the queues (at most eight). It can never be deleted. It keeps
// the call list of all queues: the candidates chosen to be called and those being called, in
// call order.
class TQueuesNode : public TSetupNode {
public:
    // Flags of Broadcast, combined by addition.
    enum BroadcastFlags { FullList = 1, Buttons = 2, QueueState = 4, CandidateList = 8 };

    TQueuesNode(TSetupTree* tree, TSetupNode* parent);
    ~TQueuesNode() override;
    QString ClassName() const override { return QStringLiteral("TQueuesNode"); }
    bool CanDelete() const override { return false; }
    void Load(TRegistry& key) override;
    // Counts the tick, then runs the calling cycle: ends the calls whose time is over and
    // starts at most one.
    void Tick() override;
    // The number of the first candidate being called in a queue of the mask; -1 when none.
    int CalledNumber(int mask) const;
    // A door sensor saw the called candidate of a queue of the mask come in.
    void DoorEntered(int mask);

    // The first-run step that creates queue 1 "K lékaři" (100-999) and queue 2 "K sestře"
    // (10-99), each with "Count Out" 5 and "Repeat Time" 3, when a queue of that number is
    // missing.
    static void RegisterDefaults(TSetupTree& tree);
    // Creates the queue with that number unless it exists; the values are written into its
    // key and loaded. Returns the queue (existing or new), or none when it cannot be made.
    TQueueNode* CreateQueue(int number, const QString& name, int minNumber, int maxNumber,
                            int countOut, int repeatTime);

    // The queues in tree order.
    QList<TQueueNode*> Queues() const;
    TQueueNode* QueueByMask(int mask) const;
    TQueueNode* QueueByNumber(int number) const;
    // The mask with the bit of every queue.
    int AllQueues() const;

    // Puts a chosen candidate at the end of the call list.
    void AppendCall(TCandidate* candidate);
    // A chosen (1) or called (2) candidate restored from a data file: a called one becomes
    // LastCalled and its door locks are told the call started; the call gets a full
    // invitation time again.
    void RegisterCall(TCandidate* candidate);
    // Removes the candidate's entry from the call list.
    void ForgetCall(TCandidate* candidate);

    // Builds the state messages of the queues in the mask and hands them to the computer link.
    // An installed handler receives the request instead (tests).
    void Broadcast(int mask, int flags);
    std::function<void(int mask, int flags)> BroadcastHandler;

    // The priority of the reason button with that number, none when there is no such button.
    // By default read from the button's key below the buttons node.
    std::optional<int> ButtonPriority(int number) const;
    std::function<std::optional<int>(int number)> ButtonPriorityLookup;

    // Length of a call in ticks ("Invitation").
    int Invitation = 600;
    QList<TCandidate*> CallList; // not owned
    int LastCalled = -1;
};
