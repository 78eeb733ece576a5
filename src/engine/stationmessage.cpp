#include "engine/stationmessage.h"

#include "engine/cp1250.h"

#include <QtEndian>

namespace StationMessage {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The three digits at data, or -1 when any of them is no digit.
int Digits3(const char* data) {
    if (!IsDigit(data[0]) || !IsDigit(data[1]) || !IsDigit(data[2]))
        return -1;
    return (data[0] - '0') * 100 + (data[1] - '0') * 10 + (data[2] - '0');
}

bool IsMarker(const char* data, qsizetype size) {
    return size >= 3 && data[0] == '*' && data[1] == 'p';
}

QByteArray Marker(char letter) {
    QByteArray text;
    AppendMarker(text, letter);
    return text;
}

QByteArray WithNumber(char letter, int value) {
    QByteArray text = Marker(letter);
    AppendNumber3(text, value);
    return text;
}

QByteArray WithTwoNumbers(char letter, int a, int b) {
    QByteArray text = WithNumber(letter, a);
    AppendNumber3(text, b);
    return text;
}

// Where the next "*p" after from begins, or size.
qsizetype NextMarker(const char* data, qsizetype size, qsizetype from) {
    for (qsizetype i = from; i + 1 < size; ++i)
        if (data[i] == '*' && data[i + 1] == 'p')
            return i;
    return size;
}

template <class Length>
QList<QByteArray> Cut(const QByteArray& text, int* malformed, std::atomic<int>& counter,
                      Length length) {
    QList<QByteArray> pieces;
    const char* data = text.constData();
    const qsizetype size = text.size();
    int bad = 0;
    qsizetype at = 0;
    while (at < size) {
        const qsizetype n = length(data + at, size - at);
        if (n > 0) {
            pieces.append(QByteArray(data + at, n));
            at += n;
        } else {
            ++bad;
            at = NextMarker(data, size, at + 1);
        }
    }
    if (malformed)
        *malformed += bad;
    if (bad)
        counter += bad;
    return pieces;
}

} // namespace

// --- Building helpers.

void AppendBytes(QByteArray& text, const char* source, qsizetype n) {
    text.append(source, n);
}

void AppendInt32(QByteArray& text, qint32 value) {
    char bytes[4];
    qToLittleEndian<qint32>(value, bytes);
    text.append(bytes, 4);
}

void AppendByte(QByteArray& text, quint8 value) {
    text.append(char(value));
}

void AppendShortText(QByteArray& text, const QString& value) {
    const QByteArray bytes = Cp1250::Encode(value).left(255);
    text.append(char(quint8(bytes.size())));
    text.append(bytes);
}

void AppendNumber3(QByteArray& text, int value) {
    if (value >= 0 && value <= 999) {
        text.append(char('0' + value / 100));
        text.append(char('0' + value / 10 % 10));
        text.append(char('0' + value % 10));
        return;
    }
    QByteArray digits = QByteArray::number(value);
    while (digits.size() < 3)
        digits.prepend('0');
    text.append(digits);
}

void AppendMarker(QByteArray& text, char letter) {
    text.append("*p", 2);
    text.append(letter);
}

// --- Commands.

QByteArray MarkDone(int mask, int number) {
    return WithTwoNumbers('A', mask, number);
}
QByteArray MoveToEnd(int mask, int number) {
    return WithTwoNumbers('B', mask, number);
}
QByteArray SetNote(int mask, int number, const QString& note) {
    QByteArray text = WithTwoNumbers('C', mask, number);
    text.append('N');
    AppendShortText(text, note);
    return text;
}
QByteArray MoveToQueue(int mask, int number, int targetMask) {
    QByteArray text = WithTwoNumbers('C', mask, number);
    text.append('Q');
    AppendNumber3(text, targetMask);
    return text;
}
QByteArray SetReason(int mask, int number, quint8 reason) {
    QByteArray text = WithTwoNumbers('C', mask, number);
    text.append('R');
    AppendByte(text, reason);
    return text;
}
QByteArray CallNext(int mask) {
    return WithNumber('D', mask);
}
QByteArray DeleteCandidate(int mask, int number) {
    return WithTwoNumbers('E', mask, number);
}
QByteArray SendQueueStates() {
    return Marker('F');
}
QByteArray OpenDoor(int mask) {
    return WithNumber('L', mask);
}
QByteArray SetOpened(bool open) {
    QByteArray text = Marker('M');
    text.append(open ? '1' : '0');
    return text;
}
QByteArray ManualEntry(int position) {
    return WithNumber('N', position);
}
QByteArray NotCome(int mask) {
    return WithNumber('O', mask);
}
QByteArray SetQueueOpen(int mask, bool open) {
    QByteArray text = WithNumber('Q', mask);
    text.append(open ? 'O' : 'C');
    return text;
}
QByteArray RequestQueue(int mask) {
    return WithNumber('R', mask);
}
QByteArray MoveForward(int mask, int number) {
    return WithTwoNumbers('W', mask, number);
}
QByteArray RequestAll() {
    return Marker('X');
}

qsizetype CommandLength(const char* data, qsizetype size) {
    if (!IsMarker(data, size))
        return -1;
    auto digitsAt = [&](qsizetype at) { return at + 3 <= size && Digits3(data + at) >= 0; };
    switch (data[2]) {
    case 'F':
    case 'X':
        return 3;
    case 'M':
        return size >= 4 ? 4 : -1;
    case 'D':
    case 'L':
    case 'N':
    case 'O':
    case 'R':
        return digitsAt(3) ? 6 : -1;
    case 'Q':
        return digitsAt(3) && size >= 7 ? 7 : -1;
    case 'A':
    case 'B':
    case 'E':
    case 'W':
        return digitsAt(3) && digitsAt(6) ? 9 : -1;
    case 'C':
        if (!digitsAt(3) || !digitsAt(6) || size < 11)
            return -1;
        switch (data[9]) {
        case 'N': {
            const qsizetype n = 11 + quint8(data[10]);
            return size >= n ? n : -1;
        }
        case 'Q':
            return digitsAt(10) ? 13 : -1;
        case 'R':
            return 11;
        default:
            return -1;
        }
    default:
        return -1;
    }
}

std::optional<TCommand> ReadCommand(const char* data, qsizetype size) {
    if (CommandLength(data, size) != size)
        return std::nullopt;
    TCommand c;
    c.Letter = data[2];
    switch (c.Letter) {
    case 'F':
    case 'X':
        break;
    case 'M':
        c.Byte = quint8(data[3]);
        break;
    case 'Q':
        c.Mask = Digits3(data + 3);
        c.Byte = quint8(data[6]);
        break;
    case 'C':
        c.Mask = Digits3(data + 3);
        c.Number = Digits3(data + 6);
        c.SubLetter = data[9];
        if (c.SubLetter == 'N')
            c.Note = Cp1250::Decode(data + 11, quint8(data[10]));
        else if (c.SubLetter == 'Q')
            c.Target = Digits3(data + 10);
        else
            c.Byte = quint8(data[10]);
        break;
    case 'A':
    case 'B':
    case 'E':
    case 'W':
        c.Number = Digits3(data + 6);
        [[fallthrough]];
    default:
        c.Mask = Digits3(data + 3);
        break;
    }
    return c;
}

std::optional<TCommand> ReadCommand(const QByteArray& message) {
    return ReadCommand(message.constData(), message.size());
}

QList<QByteArray> CutCommands(const QByteArray& text, int* malformed) {
    return Cut(text, malformed, Counters().MalformedCommands, CommandLength);
}

// --- State messages.

QByteArray FullListMarker() {
    return Marker('X');
}
QByteArray ButtonInfo(int key, quint8 priority, const QString& name) {
    QByteArray text = WithNumber('T', key);
    AppendByte(text, priority);
    AppendShortText(text, name);
    return text;
}
QByteArray QueueName(int mask, const QString& name) {
    QByteArray text = WithNumber('F', mask);
    AppendShortText(text, name);
    return text;
}
QByteArray CandidateListStart(int mask) {
    return WithNumber('C', mask);
}
void AppendCandidate(QByteArray& text, int mask, const char* record) {
    AppendMarker(text, 'R');
    AppendNumber3(text, mask);
    text.append(record, RecordSize);
}
QByteArray CandidateListEnd(int mask) {
    return WithNumber('E', mask);
}
QByteArray QueueAlert(int key, quint8 kind) {
    QByteArray text = WithNumber('Q', key);
    AppendByte(text, kind);
    return text;
}
QByteArray OpenedState(bool open) {
    QByteArray text = Marker('M');
    text.append(open ? '1' : '0');
    return text;
}
QByteArray PrintBoxState(int key, const QString& name, quint8 printer, quint8 paper) {
    QByteArray text = WithNumber('P', key);
    AppendShortText(text, name);
    AppendByte(text, printer);
    AppendByte(text, paper);
    return text;
}
QByteArray CameraState(int mode, bool available, const QString& caption, const QByteArray& block) {
    QByteArray text = WithNumber('H', mode);
    text.append(available ? '1' : '0');
    AppendShortText(text, caption);
    if (mode == 0 && available) {
        QByteArray fixed = block.left(CameraBlockSize);
        fixed.resize(CameraBlockSize, '\0');
        text.append(fixed);
    }
    return text;
}
QByteArray NoCamera() {
    return WithNumber('H', 2);
}
QByteArray ServerQuits() {
    return Marker('S');
}
QByteArray KeepAlive() {
    return Marker('W');
}
QByteArray ShowWindows() {
    return Marker('V');
}

void AppendQueueState(QByteArray& text, const TQueueState& s) {
    AppendMarker(text, 'K');
    AppendNumber3(text, s.Mask);
    for (qint32 v : {s.ServedCount, s.AverageWait, s.AverageServe, s.ActiveCount, s.Remaining,
                     s.CalledNumber, s.NextNumber, s.LockState, s.DoorState})
        AppendInt32(text, v);
    AppendByte(text, s.Open);
    AppendByte(text, s.Rooms);
}

TQueueState ReadQueueState(const char* data) {
    TQueueState s;
    s.Mask = Digits3(data + 3);
    auto at = [data](int offset) { return qFromLittleEndian<qint32>(data + offset); };
    s.ServedCount = at(6);
    s.AverageWait = at(10);
    s.AverageServe = at(14);
    s.ActiveCount = at(18);
    s.Remaining = at(22);
    s.CalledNumber = at(26);
    s.NextNumber = at(30);
    s.LockState = at(34);
    s.DoorState = at(38);
    s.Open = quint8(data[42]);
    s.Rooms = quint8(data[43]);
    return s;
}

qsizetype StateLength(const char* data, qsizetype size) {
    if (!IsMarker(data, size))
        return -1;
    const bool id = size >= 6 && Digits3(data + 3) >= 0;
    // A fixed part of fixed bytes, a length byte at textAt, then trailing bytes after the text.
    auto withText = [&](qsizetype textAt, qsizetype trailing) -> qsizetype {
        if (!id || size <= textAt)
            return -1;
        const qsizetype n = textAt + 1 + quint8(data[textAt]) + trailing;
        return size >= n ? n : -1;
    };
    switch (data[2]) {
    case 'X':
    case 'S':
    case 'W':
    case 'V':
        return 3;
    case 'M':
        return size >= 4 ? 4 : -1;
    case 'C':
    case 'E':
        return id ? 6 : -1;
    case 'Q':
        return id && size >= 7 ? 7 : -1;
    case 'K':
        return id && size >= QueueStateSize ? QueueStateSize : -1;
    case 'R':
        return id && size >= 6 + RecordSize ? 6 + RecordSize : -1;
    case 'T':
        return withText(7, 0);
    case 'F':
        return withText(6, 0);
    case 'P':
        return withText(6, 2);
    case 'H': {
        if (!id)
            return -1;
        const int mode = Digits3(data + 3);
        if (mode == 2)
            return 6;
        const bool block = mode == 0 && size > 6 && data[6] == '1';
        return withText(7, block ? CameraBlockSize : 0);
    }
    default:
        return -1;
    }
}

QList<TStateMessage> ReadStateMessages(const QByteArray& text, int* malformed) {
    QList<TStateMessage> messages;
    const QList<QByteArray> pieces = Cut(text, malformed, Counters().MalformedStates, StateLength);
    messages.reserve(pieces.size());
    for (const QByteArray& piece : pieces) {
        const char* d = piece.constData();
        TStateMessage m;
        m.Letter = d[2];
        if (piece.size() >= 6)
            m.Id = Digits3(d + 3);
        switch (m.Letter) {
        case 'M':
            m.Value = d[3] == '1' ? 1 : 0;
            break;
        case 'Q':
            m.Value = quint8(d[6]);
            break;
        case 'K':
            m.Body = piece;
            break;
        case 'R':
            m.Body = piece.mid(6);
            break;
        case 'T':
            m.Value = quint8(d[6]);
            m.Text = Cp1250::Decode(d + 8, quint8(d[7]));
            break;
        case 'F':
            m.Text = Cp1250::Decode(d + 7, quint8(d[6]));
            break;
        case 'P': {
            const int n = quint8(d[6]);
            m.Text = Cp1250::Decode(d + 7, n);
            m.Value = quint8(d[7 + n]);
            m.Value2 = quint8(d[8 + n]);
            break;
        }
        case 'H':
            if (m.Id != 2) {
                const int n = quint8(d[7]);
                m.Value = d[6] == '1' ? 1 : 0;
                m.Text = Cp1250::Decode(d + 8, n);
                m.Body = piece.mid(8 + n);
            }
            break;
        default:
            break;
        }
        messages.append(std::move(m));
    }
    return messages;
}

TCandidateList FindCandidateList(const QList<TStateMessage>& messages, int mask) {
    TCandidateList list;
    bool inside = false;
    for (const TStateMessage& m : messages) {
        if (m.Id != mask)
            continue;
        if (m.Letter == 'C') {
            inside = true;
            list.Records.clear();
        } else if (inside && m.Letter == 'R') {
            list.Records.append(m.Body);
        } else if (inside && m.Letter == 'E') {
            list.Present = true;
            return list;
        }
    }
    list.Records.clear();
    return list;
}

TCounters& Counters() {
    static TCounters counters;
    return counters;
}

} // namespace StationMessage
