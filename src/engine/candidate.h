#pragma once

#include <QByteArray>
#include <QString>

class TQueueNode;
class TSetupNode;

// One person in a queue: the ticket number, the state in the life cycle, the reason of the
// visit and a short note, with the time stamps of the day. Owned by its queue.
//
// The 102-byte record is what the data file and the "*pR" message carry; it is written and
// read field by field (packed, little-endian, IEEE doubles).
class TCandidate {
public:
    enum States : quint8 {
        Waiting = 0,      // "Čeká"
        Chosen = 1,       // "Bude vyzván"
        Calling = 2,      // "Je vyzván"
        WasCalled = 3,    // "Byl vyzván"
        BeingServed = 4,  // "Vyřizuje se"
        WaitingAgain = 5, // "Čeká znovu"
        FromOther = 6,    // "Z jiné fronty"
        NotCame = 7,      // "Nepřišel"
        Done = 8,         // "Vyřízen"
    };
    static constexpr int RecordSize = 102;
    static constexpr int NoteLength = 30;
    static constexpr int MaxPhotoId = 99999998;

    // A new candidate of the queue (none for a free-standing one): state 0, issued now.
    TCandidate(TQueueNode* queue, TSetupNode* layout);
    // Clears the number from the displays and the entry from the call list.
    ~TCandidate();
    TCandidate(const TCandidate&) = delete;
    TCandidate& operator=(const TCandidate&) = delete;

    static QString StateName(int state);
    // States 0, 5, 6.
    static bool IsWaitingState(int state) { return state == 0 || state == 5 || state == 6; }
    // States 0, 1, 2, 5, 6.
    static bool IsActiveState(int state) { return state <= 2 || state == 5 || state == 6; }
    // States 7, 8.
    static bool IsFinishedState(int state) { return state == 7 || state == 8; }
    bool IsWaiting() const { return IsWaitingState(State); }
    bool IsActive() const { return IsActiveState(State); }
    bool IsFinished() const { return IsFinishedState(State); }
    bool IsUrgent() const { return Kind == 3; }

    // Sets the state with its time stamps; the statistics of the queue record the first call
    // and the finish.
    void SetState(int state);
    // 1 + the unfinished candidates ahead of it, for a waiting or chosen candidate; else -1.
    int CurrentPosition() const;
    // Number 0-999, Kind below 4, DoneAt and PhotoId not negative, State below 9.
    bool IsValid() const;

    // The note cut to 30 characters.
    void SetNote(const QString& text);

    QByteArray Record() const;
    // Writes the 102 bytes at out.
    void WriteRecord(char* out) const;
    void WriteRecord(QByteArray& out) const;
    // Reads the 102 bytes at in.
    void ReadRecord(const char* in);

    TQueueNode* Queue = nullptr;
    // The ticket layout printed for it (the queue's ticket or refusal layout), or none.
    TSetupNode* Layout = nullptr;

    // The record.
    qint32 Number = 0;
    double Issued = 0;
    qint32 CallStamp = 0;
    quint8 Kind = 0;
    quint8 Reason = 0;
    qint32 CallCount = 0;
    double FirstCall = 0;
    double LastCall = 0;
    double DoneAt = 0;
    quint8 State = Waiting;
    qint32 PhotoId = 365;
    QString Note;
    qint32 FirstPosition = -1;
    qint32 Position = 0;
    double EnteredAt = 0;
    qint32 EnteredPosition = 0;
};
