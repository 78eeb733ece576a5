#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The first parameter of a program message: bits 28-30 the code, bit 31 set in answers, bits
// 0-27 the argument (a photo number for a capture, otherwise 0).
namespace ProgramMessage {
constexpr quint32 AnswerBit = 0x80000000u;
constexpr quint32 ArgumentMask = 0x0FFFFFFFu;
enum Code : int {
    ShowQueues = 0,
    Ping = 1,
    ShowCapture = 2,
    Capture = 3,
    CloseCapture = 4,
    End = 7
};

constexpr quint32 Request(int code, quint32 argument = 0) {
    return (quint32(code & 7) << 28) | (argument & ArgumentMask);
}
constexpr quint32 Answer(quint32 request) {
    return request | AnswerBit;
}
constexpr int CodeOf(quint32 first) {
    return int((first >> 28) & 7);
}
constexpr bool IsAnswer(quint32 first) {
    return (first & AnswerBit) != 0;
}
constexpr quint32 ArgumentOf(quint32 first) {
    return first & ArgumentMask;
}
} // namespace ProgramMessage

// The message bus between the programs of this user on this computer. Each program instance
// listens on its own local endpoint; the endpoint's 32-bit id is the program's window handle.
// A send waits (bounded) until the receiver has handled the message and acknowledged it, so a
// broadcast returns after every other program has handled it. A program never receives its
// own broadcasts, nor a message that claims to come from itself.
class TMessageBus : public QObject {
    Q_OBJECT
public:
    explicit TMessageBus(QObject* parent = nullptr);
    ~TMessageBus() override;

    // The folder of the endpoints: $XDG_RUNTIME_DIR/lobrana, or a folder of this user under
    // /tmp. Created private to the user; empty when it exists but is not ours and private.
    static QString Folder();

    // Opens this program's endpoint. False when no endpoint could be opened (the program then
    // runs alone: sends fail, nothing arrives).
    bool Register();
    bool IsRegistered() const { return Id != 0; }
    // This program's window handle; 0 before Register.
    quint32 Handle() const { return Id; }

    enum class TDelivery { Delivered, Absent, NoAnswer };
    // Sends to one program and waits for its acknowledgement: Absent when no program listens
    // there (or it is this program), NoAnswer when it took the message but did not acknowledge
    // within TimeoutMs. The receiver is blocked while this program waits, so a receiver that
    // answers a request sends its answer after its slot returned (queued).
    TDelivery Deliver(quint32 window, quint32 first);
    bool Send(quint32 window, quint32 first) {
        return Deliver(window, first) == TDelivery::Delivered;
    }
    // Sends to every other program, one after another; returns how many acknowledged.
    int Broadcast(quint32 first);
    // A request of a code with its argument, to one window or (window 0) to all. False for a
    // code or argument out of range.
    bool SendRequest(int code, quint32 argument, quint32 window = 0);
    // The answer to a request: the request's first parameter with bit 31 set, to one window or
    // (window 0) to all.
    bool SendAnswer(quint32 request, quint32 window = 0);

    // Makes this program findable under a name (the main program under its configuration).
    bool Announce(const QString& name);
    // The window of the running program announced under the name; 0 when none answers there.
    quint32 FindAnnounced(const QString& name) const;
    // The windows of all endpoints in the folder, this program's included.
    QList<quint32> Endpoints() const;

    // Bounds of one send, and of a connection that delivers its message slowly.
    int TimeoutMs = 2000;
    int ReceiveTimeoutMs = 1000;

    // The frame on the wire: magic, first parameter, sender, both little-endian.
    static constexpr int FrameSize = 12;
    static QByteArray Frame(quint32 first, quint32 sender);

signals:
    // A message from another program; the acknowledgement goes out once the slots returned.
    void Received(quint32 first, quint32 sender);

private:
    void OnConnection();
    void ReadFrom(QLocalSocket* socket);
    QString EndpointPath(quint32 id) const;
    QString AnnouncePath(const QString& name) const;

    QLocalServer* Server = nullptr;
    QString Dir;
    quint32 Id = 0;
    QStringList Announced;
};
