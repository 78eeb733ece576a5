#pragma once

#include "engine/candidate.h"
#include "engine/setupnode.h"

#include <QByteArray>
#include <QList>

class TQueuesNode;
class TStatisticsNode;
class TTimeTableNode;

// A changing room of a queue (the door locks use it); stored in the subkeys "ChangingRoomA"
// and "ChangingRoomB" of "ChangingRooms" below the queue's key.
struct TChangingRoom {
    bool Enabled = false;  // "RoomEnabled"
    quint8 DoorSensor = 0; // "DoorSensor": 0 none, 1 opening contact, 2 closing contact
    int HWNumber = 0;      // "HWNumber"
};

// Classes of the queue's children that belong to other subsystems (audio output, ticket
// layouts). The program sets them before the tree is built; a class left empty is not created.
struct TQueueChildClasses {
    TNodeClass AudioOutput;    // "Audio Output"
    TNodeClass Ticket;         // "Ticket", the layout of today's tickets
    TNodeClass DenyTicket;     // "Deny Ticket", the refusal ticket
    TNodeClass TomorrowTicket; // "Tomorrow Ticket"
};

// "Fronta": one queue of candidates with its numbering, its data file "Queue number <key>.data"
// in the program folder (rewritten after every change, so the day's queue survives a restart)
// and its operations. Commands name candidates by Number; a number that is not in the list
// makes an operation do nothing. Main thread only.
class TQueueNode : public TSetupNode {
public:
    TQueueNode(TSetupTree* tree, TSetupNode* parent);
    ~TQueueNode() override;
    QString ClassName() const override { return QStringLiteral("TQueueNode"); }
    void Load(TRegistry& key) override;
    // Opens or closes the queue; a change is broadcast and the print boxes reconfigure.
    void SetActive(bool open) override;
    // A queue's tick does nothing; the nodes below it get none.
    void Tick() override {}

    static TQueueChildClasses& ChildClasses();
    TQueuesNode* QueuesNode() const;

    // --- Queries.
    // The number for a new ticket, always inside MinNumber..MaxNumber (and 0..999).
    int TakeNumber();
    int ActiveCount() const;
    // Number of the n-th waiting or chosen candidate (states 0, 1, 5, 6); -1 when none.
    int WaitingNumber(int n) const;
    TCandidate* FindCandidate(int number) const;
    int IndexOfCandidate(int number) const;
    int IndexOf(const TCandidate* candidate) const { return int(Candidates.indexOf(candidate)); }

    // --- Operations (the station commands of the operators).
    // A new candidate with the next number, the button's number as reason and its priority as
    // kind; the note is cut to 30 characters. The caller broadcasts.
    TCandidate* NewCandidate(int reason, int priority, const QString& note);
    // Puts a candidate into the list (urgent ones ahead of the ordinary waiting ones), sends
    // the operators' warnings and saves. The queue takes ownership.
    void AddCandidate(TCandidate* candidate);
    void CallNext();                                  // "*pD"
    void NotCome();                                   // "*pO"
    void MarkDone(int number);                        // "*pA"
    void MoveToEnd(int number);                       // "*pB"
    void MoveForward(int number);                     // "*pW"
    void DeleteCandidate(int number);                 // "*pE"
    void MoveToQueue(int number, TQueueNode* target); // "*pC" ... "Q"
    void SetReason(int number, int reason);           // "*pC" ... "R"
    void SetNote(int number, const QString& text);    // "*pC" ... "N"
    // Frees all candidates; NextNumber stays.
    void EmptyQueue();
    // Drops the finished candidates at the head beyond CountOut.
    void TrimHistory();

    // "*pQ" with the key name and the kind: 0 clear, 1 a candidate came into an empty queue,
    // 2 an urgent candidate came.
    void SendAlert(quint8 kind);
    // This queue's state and candidates to every operator window.
    void BroadcastQueue();

    // --- The data file.
    QString DataFileName() const;
    // Writes the file durably; false when it could not be written (the old file stays).
    bool SaveData();
    void LoadData();
    // The file's bytes: version, date, NextNumber, the records in list order.
    static QByteArray ComposeData(double version, double date, int nextNumber,
                                  const QList<TCandidate*>& candidates);
    static constexpr int HeaderSize = 20;

    // Adds and removes the refusal and tomorrow layouts by UnabledAction.
    void UpdateTicketNodes();

    // Takes a candidate out of the list without freeing it (ownership goes to the caller).
    TCandidate* TakeCandidate(int index);
    // Called by a candidate's destruction.
    void CandidateFreed(TCandidate* candidate);
    // Frees every candidate without telling the displays or the call list (program end).
    void DiscardCandidates();

    // --- Fields.
    QList<TCandidate*> Candidates; // owned, in queue order
    int MinNumber = 1;
    int MaxNumber = 999;
    int NextNumber = 1;
    int CountOut = 10;
    int ReturnTime = 10;
    int RepeatTime = 2;
    int ServedCount = 0;
    int ServeMinutes = 0;
    int WaitMinutes = 0;
    TTimeTableNode* TimeTable = nullptr;
    TStatisticsNode* Statistics = nullptr;
    TSetupNode* AudioOutput = nullptr;
    TSetupNode* TicketLayout = nullptr;
    TSetupNode* DenyLayout = nullptr;
    TSetupNode* TomorrowLayout = nullptr;
    // 0 only the alert sound, 1 also the refusal ticket, 2 keep a tomorrow-ticket layout.
    quint8 UnabledAction = 0;
    // The standing candidate (number 0) printed as the refusal ticket, while UnabledAction is 1.
    TCandidate* RefusalCandidate = nullptr;
    TChangingRoom RoomA;
    TChangingRoom RoomB;

    // The time table, statistics, audio output and ticket children, then the layouts that
    // UnabledAction asks for (run by Create after the queue is attached).
    void CreateFixedChildren() override;

private:
    void InsertCandidate(int index, TCandidate* candidate);
    void MoveCandidate(int from, int to);
    void CallEnded();
    void FreeRefusalCandidate();
    void RemoveLayout(TSetupNode*& layout);
    bool Discarding = false;
};
