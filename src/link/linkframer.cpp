#include "link/linkframer.h"

namespace {

bool Digits(const char* data, qsizetype from, qsizetype count) {
    for (qsizetype i = from; i < from + count; ++i)
        if (data[i] < '0' || data[i] > '9')
            return false;
    return true;
}

// The length of a message made of a fixed part and, when lengthAt >= 0, a length byte there.
// Digits are checked where they belong as soon as they have arrived.
qsizetype Fixed(const char* data, qsizetype size, qsizetype length, qsizetype digitsFrom = 3,
                qsizetype digits = 3) {
    qsizetype have = std::min(size, digitsFrom + digits);
    if (have > digitsFrom && !Digits(data, digitsFrom, have - digitsFrom))
        return -1;
    return size >= length ? length : 0;
}

qsizetype WithText(const char* data, qsizetype size, qsizetype lengthAt, qsizetype extra) {
    qsizetype head = Fixed(data, size, lengthAt + 1);
    if (head <= 0)
        return head;
    qsizetype length = lengthAt + 1 + static_cast<unsigned char>(data[lengthAt]) + extra;
    return size >= length ? length : 0;
}

qsizetype CommandLength(const char* d, qsizetype size, bool atEnd) {
    switch (d[2]) {
    case 'A':
    case 'B':
    case 'E':
        return Fixed(d, size, 9, 3, 6);
    case 'W':
        // "*pW" alone is the keep-alive; with six digits it moves a candidate forward.
        if (size == 3)
            return atEnd ? 3 : 0;
        if (d[3] < '0' || d[3] > '9')
            return 3;
        return Fixed(d, size, 9, 3, 6);
    case 'D':
    case 'L':
    case 'N':
    case 'O':
    case 'R':
        return Fixed(d, size, 6);
    case 'F':
    case 'X':
        return 3;
    case 'M':
        return size >= 4 ? 4 : 0;
    case 'Q':
        return Fixed(d, size, 7);
    case 'C': {
        qsizetype head = Fixed(d, size, 10, 3, 6);
        if (head <= 0)
            return head;
        switch (d[9]) {
        case 'N':
            return size >= 11 ? (size >= 11 + uchar(d[10]) ? 11 + uchar(d[10]) : 0) : 0;
        case 'Q':
            return Fixed(d, size, 13, 10, 3);
        case 'R':
            return size >= 11 ? 11 : 0;
        default:
            return -1;
        }
    }
    default:
        return -1;
    }
}

qsizetype StateLength(const char* d, qsizetype size, bool atEnd) {
    switch (d[2]) {
    case 'X':
    case 'S':
    case 'W':
    case 'V':
        return 3;
    case 'T':
        return WithText(d, size, 7, 0);
    case 'F':
        return WithText(d, size, 6, 0);
    case 'P':
        return WithText(d, size, 6, 2);
    case 'K':
        return Fixed(d, size, 44);
    case 'C':
    case 'E':
        return Fixed(d, size, 6);
    case 'R':
        return Fixed(d, size, 108);
    case 'Q':
        return Fixed(d, size, 7);
    case 'M':
        return size >= 4 ? 4 : 0;
    case 'H': {
        qsizetype head = Fixed(d, size, 6);
        if (head <= 0)
            return head;
        bool noCamera = d[3] == '0' && d[4] == '0' && d[5] == '2';
        // Without any camera node the message is the mode 002 alone.
        if (noCamera && size == 6)
            return atEnd ? 6 : 0;
        if (size < 7)
            return 0;
        if (noCamera && d[6] == '*')
            return 6;
        if (size < 8)
            return d[6] >= '0' && d[6] <= '9' ? 0 : -1;
        if (d[6] < '0' || d[6] > '9')
            return -1;
        bool block = d[3] == '0' && d[4] == '0' && d[5] == '0' && d[6] == '1';
        qsizetype length = 8 + uchar(d[7]) + (block ? 306 : 0);
        return size >= length ? length : 0;
    }
    default:
        return -1;
    }
}

} // namespace

qsizetype TLinkFramer::Length(Direction direction, const char* data, qsizetype size, bool atEnd) {
    if (size < 1)
        return 0;
    if (data[0] != '*')
        return -1;
    if (size < 2)
        return 0;
    if (data[1] != 'p')
        return -1;
    if (size < 3)
        return 0;
    return direction == Commands ? CommandLength(data, size, atEnd)
                                 : StateLength(data, size, atEnd);
}

TLinkFramer::Result TLinkFramer::Feed(const QByteArray& bytes, QList<QByteArray>& out) {
    Buffer += bytes;
    qsizetype pos = 0;
    Result result = Ok;
    while (pos < Buffer.size()) {
        qsizetype n = Length(Dir, Buffer.constData() + pos, Buffer.size() - pos, false);
        if (n < 0) {
            result = Garbage;
            break;
        }
        if (n == 0)
            break;
        out.append(Buffer.mid(pos, n));
        pos += n;
    }
    Buffer.remove(0, pos);
    if (result == Garbage) {
        Buffer.clear();
        return Garbage;
    }
    if (Buffer.size() > MaxPending) {
        Buffer.clear();
        return Overflow;
    }
    return Ok;
}

bool TLinkFramer::HasAmbiguousTail() const {
    if (Buffer.isEmpty())
        return false;
    return Length(Dir, Buffer.constData(), Buffer.size(), false) == 0 &&
           Length(Dir, Buffer.constData(), Buffer.size(), true) == Buffer.size();
}

void TLinkFramer::Flush(QList<QByteArray>& out) {
    if (HasAmbiguousTail()) {
        out.append(Buffer);
        Buffer.clear();
    }
}
