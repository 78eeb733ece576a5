#pragma once

#include <QByteArray>
#include <QList>

// Puts whole station messages back together from what a TCP connection delivers: a message
// split over several reads is joined, several glued ones are separated. Commands travel from a
// station to its server, state messages from the server to its stations.
class TLinkFramer {
public:
    enum Direction { Commands, States };
    enum Result { Ok, Garbage, Overflow };

    explicit TLinkFramer(Direction direction) : Dir(direction) {}

    // Appends what arrived and moves every whole message into out. Garbage: bytes that can
    // never form a message; Overflow: more than MaxPending bytes without a whole message.
    Result Feed(const QByteArray& bytes, QList<QByteArray>& out);
    // The rest is a message whose end cannot be told yet ("*pW" may be a keep-alive or the
    // start of a forward command; "*pH002" may be whole). Flush takes it as it stands.
    bool HasAmbiguousTail() const;
    void Flush(QList<QByteArray>& out);
    qsizetype Pending() const { return Buffer.size(); }

    static constexpr qsizetype MaxPending = 64 * 1024;

    // The length of the message at data: > 0 whole, 0 more bytes needed, -1 never a message.
    // atEnd: no more bytes follow for now (decides the ambiguous short forms).
    static qsizetype Length(Direction direction, const char* data, qsizetype size, bool atEnd);

private:
    Direction Dir;
    QByteArray Buffer;
};
