#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <optional>

// Station messages: the byte strings between the engine and the operator side. Each begins with
// "*p" and a letter and has a fixed layout of three-digit fields, bytes, little-endian int32s,
// length-prefixed Windows-1250 texts and records. Texts are plain concatenations of whole
// messages; nothing is escaped, so readers cut them by the layout of each message, never by
// searching for "*p".
namespace StationMessage {

// --- Building helpers.
void AppendBytes(QByteArray& text, const char* source, qsizetype n);
void AppendInt32(QByteArray& text, qint32 value);
void AppendByte(QByteArray& text, quint8 value);
// A length byte and the text in Windows-1250, cut to 255 bytes.
void AppendShortText(QByteArray& text, const QString& value);
// Three decimal digits with leading zeros; longer numbers are not cut.
void AppendNumber3(QByteArray& text, int value);
void AppendMarker(QByteArray& text, char letter);

// --- Commands (operator side to engine).
QByteArray MarkDone(int mask, int number);                     // "*pA"
QByteArray MoveToEnd(int mask, int number);                    // "*pB"
QByteArray SetNote(int mask, int number, const QString& note); // "*pC" ... "N"
QByteArray MoveToQueue(int mask, int number, int targetMask);  // "*pC" ... "Q"
QByteArray SetReason(int mask, int number, quint8 reason);     // "*pC" ... "R"
QByteArray CallNext(int mask);                                 // "*pD"
QByteArray DeleteCandidate(int mask, int number);              // "*pE"
QByteArray SendQueueStates();                                  // "*pF"
QByteArray OpenDoor(int mask);                                 // "*pL"
QByteArray SetOpened(bool open);                               // "*pM"
QByteArray ManualEntry(int position);                          // "*pN"
QByteArray NotCome(int mask);                                  // "*pO"
QByteArray SetQueueOpen(int mask, bool open);                  // "*pQ"
QByteArray RequestQueue(int mask);                             // "*pR"
QByteArray MoveForward(int mask, int number);                  // "*pW"
QByteArray RequestAll();                                       // "*pX"

// One command read by its layout.
struct TCommand {
    char Letter = 0;
    int Mask = 0;       // qqq; the position for "N"
    int Number = 0;     // nnn of A, B, C, E, W
    char SubLetter = 0; // "C": 'N', 'Q' or 'R'
    int Target = 0;     // "C" "Q": ttt
    quint8 Byte = 0;    // "C" "R": the reason; "M": the digit; "Q": the letter
    QString Note;       // "C" "N"
};

// The length of the command that starts at data, or -1 when it is not a whole, well-formed
// command (unknown letter or sub-letter, non-digits where digits belong, too short).
qsizetype CommandLength(const char* data, qsizetype size);
// Reads the command of exactly that many bytes (from CommandLength); none when malformed.
std::optional<TCommand> ReadCommand(const char* data, qsizetype size);
// Reads a text that holds exactly one command.
std::optional<TCommand> ReadCommand(const QByteArray& message);

// Cuts a command text into its commands, in order. Bytes that do not start a well-formed
// command are passed over up to the next "*p"; each such run counts once in malformed and in
// Counters().
QList<QByteArray> CutCommands(const QByteArray& text, int* malformed = nullptr);

// --- State messages (engine to every operator window).
QByteArray FullListMarker();                                                          // "*pX"
QByteArray ButtonInfo(int key, quint8 priority, const QString& name);                 // "*pT"
QByteArray QueueName(int mask, const QString& name);                                  // "*pF"
QByteArray CandidateListStart(int mask);                                              // "*pC"
void AppendCandidate(QByteArray& text, int mask, const char* record);                 // "*pR"
QByteArray CandidateListEnd(int mask);                                                // "*pE"
QByteArray QueueAlert(int key, quint8 kind);                                          // "*pQ"
QByteArray OpenedState(bool open);                                                    // "*pM"
QByteArray PrintBoxState(int key, const QString& name, quint8 printer, quint8 paper); // "*pP"
// "*pH" of a camera (mode 0 or 1); the block only for mode 0 when available (306 bytes).
QByteArray CameraState(int mode, bool available, const QString& caption,
                       const QByteArray& block = {});
QByteArray NoCamera();    // "*pH002", 6 bytes
QByteArray ServerQuits(); // "*pS"
QByteArray KeepAlive();   // "*pW"
QByteArray ShowWindows(); // "*pV"

constexpr int RecordSize = 102;
constexpr int CameraBlockSize = 306;
constexpr int QueueStateSize = 44;

// The queue state "*pK".
struct TQueueState {
    int Mask = 0;
    qint32 ServedCount = 0;
    qint32 AverageWait = 0;  // minutes
    qint32 AverageServe = 0; // minutes
    qint32 ActiveCount = 0;
    qint32 Remaining = 0;
    qint32 CalledNumber = 0; // the first candidate that was called, 0 when none
    qint32 NextNumber = 0;   // -chosen or +waiting, 0 when none
    qint32 LockState = 0;
    qint32 DoorState = 0;
    quint8 Open = 0;
    quint8 Rooms = 2;
};
void AppendQueueState(QByteArray& text, const TQueueState& state);
// Reads the 44 bytes of a "*pK" message.
TQueueState ReadQueueState(const char* data);

// One state message read by its layout.
struct TStateMessage {
    char Letter = 0;
    // The three digits: mask (F, K, C, R, E), key (T, Q, P), mode (H).
    int Id = 0;
    // T: priority; Q: kind; P: printer state; H: 1 when available; M: 1 when open.
    quint8 Value = 0;
    quint8 Value2 = 0; // P: paper state
    QString Text;      // T, F, P: the name; H: the caption
    // K: the whole 44 bytes; R: the 102-byte record; H: the camera block when present.
    QByteArray Body;
};

// The length of the state message that starts at data, or -1 when it is not whole and
// well-formed.
qsizetype StateLength(const char* data, qsizetype size);
// Reads every state message of a text in order. Runs that are no well-formed message are
// passed over up to the next "*p"; each counts once in malformed and in Counters().
QList<TStateMessage> ReadStateMessages(const QByteArray& text, int* malformed = nullptr);

// The candidate list of one queue: the records between "*pC" qqq and the matching "*pE" qqq.
struct TCandidateList {
    bool Present = false; // a whole list for the mask was found
    QList<QByteArray> Records;
};
TCandidateList FindCandidateList(const QList<TStateMessage>& messages, int mask);

// Counts of messages that had no effect because they were malformed, process-wide, so that an
// operator or administrator can see them.
struct TCounters {
    std::atomic<int> MalformedCommands{0};
    std::atomic<int> MalformedStates{0};
};
TCounters& Counters();

} // namespace StationMessage
