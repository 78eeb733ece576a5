#include "engine/candidate.h"

#include "engine/cp1250.h"
#include "engine/datetime.h"
#include "engine/queuenode.h"
#include "engine/statisticsnode.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// Offsets of the record's fields.
enum : int {
    OffNumber = 0,
    OffIssued = 4,
    OffCallStamp = 12,
    OffKind = 16,
    OffReason = 17,
    OffCallCount = 18,
    OffFirstCall = 22,
    OffLastCall = 30,
    OffDoneAt = 38,
    OffState = 46,
    OffPhotoId = 47,
    OffNote = 51,
    OffFirstPosition = 82,
    OffPosition = 86,
    OffEnteredAt = 90,
    OffEnteredPosition = 98,
};

void PutInt(char* p, qint32 v) {
    qToLittleEndian<qint32>(v, p);
}

void PutDouble(char* p, double v) {
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    qToLittleEndian<quint64>(bits, p);
}

qint32 GetInt(const char* p) {
    return qFromLittleEndian<qint32>(p);
}

double GetDouble(const char* p) {
    quint64 bits = qFromLittleEndian<quint64>(p);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

double TimeOfDay() {
    return DateTimeNumber::FromTime(TClock::Now().time());
}

} // namespace

TCandidate::TCandidate(TQueueNode* queue, TSetupNode* layout)
    : Queue(queue), Layout(layout), Issued(TClock::NowNumber()) {}

TCandidate::~TCandidate() {
    if (Queue)
        Queue->CandidateFreed(this);
}

QString TCandidate::StateName(int state) {
    switch (state) {
    case Waiting:
        return u"Čeká"_s;
    case Chosen:
        return u"Bude vyzván"_s;
    case Calling:
        return u"Je vyzván"_s;
    case WasCalled:
        return u"Byl vyzván"_s;
    case BeingServed:
        return u"Vyřizuje se"_s;
    case WaitingAgain:
        return u"Čeká znovu"_s;
    case FromOther:
        return u"Z jiné fronty"_s;
    case NotCame:
        return u"Nepřišel"_s;
    case Done:
        return u"Vyřízen"_s;
    default:
        return {};
    }
}

void TCandidate::SetState(int state) {
    if (state == State)
        return;
    bool firstCall = false;
    if (state == Calling) {
        if (CallCount == 0) {
            FirstCall = TimeOfDay();
            LastCall = FirstCall;
            firstCall = true;
        } else {
            LastCall = TimeOfDay();
        }
    }
    if (state == Done)
        DoneAt = TimeOfDay();
    State = quint8(state);
    if ((IsFinished() || firstCall) && Queue && Queue->Statistics)
        Queue->Statistics->Record(*this);
}

int TCandidate::CurrentPosition() const {
    if (!(IsWaiting() || State == Chosen))
        return -1;
    int position = 1;
    if (Queue) {
        for (const TCandidate* c : Queue->Candidates) {
            if (c == this)
                break;
            if (c->State < NotCame)
                ++position;
        }
    }
    return position;
}

bool TCandidate::IsValid() const {
    return Number >= 0 && Number <= 999 && Kind < 4 && DoneAt >= 0 && PhotoId >= 0 && State < 9;
}

void TCandidate::SetNote(const QString& text) {
    Note = text.left(NoteLength);
}

QByteArray TCandidate::Record() const {
    QByteArray out(RecordSize, '\0');
    WriteRecord(out.data());
    return out;
}

void TCandidate::WriteRecord(QByteArray& out) const {
    qsizetype at = out.size();
    out.resize(at + RecordSize);
    WriteRecord(out.data() + at);
}

void TCandidate::WriteRecord(char* out) const {
    std::memset(out, 0, RecordSize);
    PutInt(out + OffNumber, Number);
    PutDouble(out + OffIssued, Issued);
    PutInt(out + OffCallStamp, CallStamp);
    out[OffKind] = char(Kind);
    out[OffReason] = char(Reason);
    PutInt(out + OffCallCount, CallCount);
    PutDouble(out + OffFirstCall, FirstCall);
    PutDouble(out + OffLastCall, LastCall);
    PutDouble(out + OffDoneAt, DoneAt);
    out[OffState] = char(State);
    PutInt(out + OffPhotoId, PhotoId);
    QByteArray note = Cp1250::Encode(Note).left(NoteLength);
    out[OffNote] = char(note.size());
    std::memcpy(out + OffNote + 1, note.constData(), size_t(note.size()));
    PutInt(out + OffFirstPosition, FirstPosition);
    PutInt(out + OffPosition, Position);
    PutDouble(out + OffEnteredAt, EnteredAt);
    PutInt(out + OffEnteredPosition, EnteredPosition);
}

void TCandidate::ReadRecord(const char* in) {
    Number = GetInt(in + OffNumber);
    Issued = GetDouble(in + OffIssued);
    CallStamp = GetInt(in + OffCallStamp);
    Kind = quint8(in[OffKind]);
    Reason = quint8(in[OffReason]);
    CallCount = GetInt(in + OffCallCount);
    FirstCall = GetDouble(in + OffFirstCall);
    LastCall = GetDouble(in + OffLastCall);
    DoneAt = GetDouble(in + OffDoneAt);
    State = quint8(in[OffState]);
    PhotoId = GetInt(in + OffPhotoId);
    // A length byte beyond the field's 30 characters reads only what the field holds.
    int length = std::min(int(quint8(in[OffNote])), NoteLength);
    Note = Cp1250::Decode(in + OffNote + 1, length);
    FirstPosition = GetInt(in + OffFirstPosition);
    Position = GetInt(in + OffPosition);
    EnteredAt = GetDouble(in + OffEnteredAt);
    EnteredPosition = GetInt(in + OffEnteredPosition);
}
