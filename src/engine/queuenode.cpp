#include "engine/queuenode.h"

#include "engine/datetime.h"
#include "engine/durablefile.h"
#include "engine/helpers.h"
#include "engine/queueports.h"
#include "engine/queuesnode.h"
#include "engine/setuptree.h"
#include "engine/statisticsnode.h"
#include "engine/timetablenode.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

double TimeOfDay() {
    return DateTimeNumber::FromTime(TClock::Now().time());
}

double Today() {
    return DateTimeNumber::FromDate(TClock::Now().date());
}

void PutDouble(char* p, double v) {
    quint64 bits;
    std::memcpy(&bits, &v, sizeof bits);
    qToLittleEndian<quint64>(bits, p);
}

double GetDouble(const char* p) {
    quint64 bits = qFromLittleEndian<quint64>(p);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// A new day: every photo of the folder goes; the first one that cannot be deleted stops it.
void DeletePhotos() {
    QDir folder(AbsoluteFromProgram(u"Fotky"_s));
    const QStringList photos = folder.entryList({u"*.jpg"_s}, QDir::Files | QDir::Hidden);
    for (const QString& name : photos)
        if (!folder.remove(name))
            return;
}

TChangingRoom ReadRoom(const QString& path) {
    TChangingRoom room;
    TRegistry reg;
    if (reg.OpenKey(path, false)) {
        room.Enabled = reg.ReadBool(u"RoomEnabled"_s);
        room.DoorSensor = quint8(reg.ReadInteger(u"DoorSensor"_s));
        room.HWNumber = reg.ReadInteger(u"HWNumber"_s);
    }
    return room;
}

} // namespace

TQueueNode::TQueueNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Fronta"_s;
    AddText = u"Frontu"_s;
    TitleText = u"fronty"_s;
    EditorClass = u"TSetupQueue"_s;
    Editable = true;
    Kind = 2;
    // Pictures: open and closed. Every queue starts open.
    ImageIndex = 0;
    InactiveImageIndex = 1;
    Active = true;
}

TQueueNode::~TQueueNode() {
    FreeRefusalCandidate();
    while (!Candidates.isEmpty())
        delete Candidates.takeLast();
}

TQueueChildClasses& TQueueNode::ChildClasses() {
    static TQueueChildClasses classes;
    return classes;
}

TQueuesNode* TQueueNode::QueuesNode() const {
    return dynamic_cast<TQueuesNode*>(Parent);
}

void TQueueNode::CreateFixedChildren() {
    TimeTable = AddFixedChild<TTimeTableNode>();
    Statistics = AddFixedChild<TStatisticsNode>();
    const TQueueChildClasses& classes = ChildClasses();
    if (classes.AudioOutput)
        AudioOutput = classes.AudioOutput(Tree(), this);
    if (classes.Ticket)
        TicketLayout = classes.Ticket(Tree(), this);
    // The candidates loaded while the queue was being built print with today's layout.
    for (TCandidate* c : Candidates)
        if (!c->Layout)
            c->Layout = TicketLayout;
    UpdateTicketNodes();
}

void TQueueNode::Load(TRegistry& key) {
    CountOut = 10;
    ReturnTime = 10;
    RepeatTime = 2;
    MinNumber = 100;
    MaxNumber = 999;
    MinNumber = key.ReadInteger(u"Min"_s, MinNumber);
    MaxNumber = key.ReadInteger(u"Max"_s, MaxNumber);
    CountOut = key.ReadInteger(u"Count Out"_s, CountOut);
    ReturnTime = key.ReadInteger(u"Return Time"_s, ReturnTime);
    RepeatTime = key.ReadInteger(u"Repeat Time"_s, RepeatTime);
    UnabledAction = quint8(key.ReadInteger(u"Unabled Action"_s, UnabledAction));

    const QString rooms = KeyPath() + u"\\ChangingRooms"_s;
    TRegistry reg;
    if (reg.OpenKey(rooms, true)) {
        RoomA = ReadRoom(rooms + u"\\ChangingRoomA"_s);
        RoomB = RoomA.Enabled ? ReadRoom(rooms + u"\\ChangingRoomB"_s) : TChangingRoom{};
    }

    if (NextNumber > MaxNumber || NextNumber < MinNumber)
        NextNumber = MinNumber;
    LoadData();
}

void TQueueNode::SetActive(bool open) {
    const bool changed = open != Active;
    TSetupNode::SetActive(open);
    if (!changed)
        return;
    if (TQueuesNode* queues = QueuesNode())
        queues->Broadcast(queues->AllQueues(), TQueuesNode::QueueState);
    TQueuePorts::Devices().RestartConfiguration();
    NotifyChanged();
}

// --- Queries.

int TQueueNode::TakeNumber() {
    // Numbers stay inside the queue's range, and inside the three digits of the messages,
    // even when the range changed during the day.
    const int low = std::clamp(MinNumber, 0, 999);
    const int high = std::clamp(std::max(MaxNumber, MinNumber), low, 999);
    const int number = std::clamp(NextNumber, low, high);
    NextNumber = number >= high ? low : number + 1;
    return number;
}

int TQueueNode::ActiveCount() const {
    return int(std::count_if(Candidates.begin(), Candidates.end(),
                             [](const TCandidate* c) { return c->IsActive(); }));
}

int TQueueNode::WaitingNumber(int n) const {
    if (n < 1)
        return -1;
    for (const TCandidate* c : Candidates)
        if ((c->IsWaiting() || c->State == TCandidate::Chosen) && --n == 0)
            return c->Number;
    return -1;
}

TCandidate* TQueueNode::FindCandidate(int number) const {
    int i = IndexOfCandidate(number);
    return i < 0 ? nullptr : Candidates.at(i);
}

int TQueueNode::IndexOfCandidate(int number) const {
    for (int i = 0; i < Candidates.size(); ++i)
        if (Candidates.at(i)->Number == number)
            return i;
    return -1;
}

// --- List helpers.

TCandidate* TQueueNode::TakeCandidate(int index) {
    if (index < 0 || index >= Candidates.size())
        return nullptr;
    return Candidates.takeAt(index);
}

void TQueueNode::InsertCandidate(int index, TCandidate* candidate) {
    Candidates.insert(std::clamp(index, 0, int(Candidates.size())), candidate);
}

void TQueueNode::MoveCandidate(int from, int to) {
    if (from == to || from < 0 || from >= Candidates.size())
        return;
    Candidates.move(from, std::clamp(to, 0, int(Candidates.size()) - 1));
}

void TQueueNode::CallEnded() {
    TQueuePorts::Devices().DoorEvent(TQueuePorts::DoorCallEnded, Mask());
}

void TQueueNode::CandidateFreed(TCandidate* candidate) {
    if (Discarding)
        return;
    TQueuePorts::Devices().CandidateFreed(candidate);
    if (candidate->Number != 0)
        TQueuePorts::Devices().ClearNumber(candidate->Number);
    if (TQueuesNode* queues = QueuesNode())
        queues->ForgetCall(candidate);
}

void TQueueNode::DiscardCandidates() {
    Discarding = true;
    FreeRefusalCandidate();
    while (!Candidates.isEmpty())
        delete Candidates.takeLast();
    Discarding = false;
}

// --- Operations.

TCandidate* TQueueNode::NewCandidate(int reason, int priority, const QString& note) {
    auto* c = new TCandidate(this, TicketLayout);
    c->Number = TakeNumber();
    c->Reason = quint8(reason);
    c->Kind = quint8(priority);
    c->SetNote(note);
    c->PhotoId = qint32(QRandomGenerator::global()->bounded(TCandidate::MaxPhotoId + 1));
    AddCandidate(c);
    return c;
}

void TQueueNode::AddCandidate(TCandidate* c) {
    if (!c)
        return;
    c->Queue = this;
    if (!c->IsUrgent()) {
        Candidates.append(c);
        if (ActiveCount() == 1)
            SendAlert(1);
    } else {
        auto at = std::find_if(Candidates.begin(), Candidates.end(),
                               [](const TCandidate* o) { return o->Kind < 3 && o->IsWaiting(); });
        Candidates.insert(at, c);
        SendAlert(2);
    }
    c->EnteredAt = TimeOfDay();
    c->EnteredPosition = c->CurrentPosition();
    if (c->FirstPosition < 0) {
        c->FirstPosition = c->CurrentPosition();
        if (Statistics)
            Statistics->Record(*c);
    }
    SaveData();
}

void TQueueNode::CallNext() {
    TQueuesNode* queues = QueuesNode();
    bool changed = false;
    bool done = false;
    for (TCandidate* c : std::as_const(Candidates)) {
        if (c->State == TCandidate::Chosen || c->State == TCandidate::Calling)
            return;
        if (c->State == TCandidate::WasCalled || c->State == TCandidate::BeingServed) {
            c->SetState(TCandidate::Done);
            changed = done = true;
        } else if (c->IsWaiting()) {
            SendAlert(0);
            c->SetState(TCandidate::Chosen);
            if (queues)
                queues->AppendCall(c);
            changed = true;
            break;
        }
    }
    if (done)
        TrimHistory();
    if (changed) {
        SaveData();
        BroadcastQueue();
    }
}

void TQueueNode::NotCome() {
    SendAlert(0);
    auto it = std::find_if(Candidates.begin(), Candidates.end(),
                           [](const TCandidate* c) { return c->State == TCandidate::WasCalled; });
    if (it == Candidates.end())
        return;
    TCandidate* c = *it;
    const int i = int(it - Candidates.begin());
    if (c->CallCount <= RepeatTime) {
        c->SetState(TCandidate::WaitingAgain);
        MoveCandidate(i, i + 3);
    } else {
        c->SetState(TCandidate::NotCame);
        TrimHistory();
    }
    SaveData();
    BroadcastQueue();
    CallNext();
}

void TQueueNode::MarkDone(int number) {
    TCandidate* c = FindCandidate(number);
    if (!c)
        return;
    if (c->State == TCandidate::Calling)
        CallEnded();
    if (!c->IsFinished()) {
        auto first = std::find_if(Candidates.begin(), Candidates.end(),
                                  [](const TCandidate* o) { return !o->IsFinished(); });
        MoveCandidate(IndexOf(c), int(first - Candidates.begin()));
    }
    c->SetState(TCandidate::Done);
    SaveData();
    BroadcastQueue();
}

void TQueueNode::MoveToEnd(int number) {
    TCandidate* c = TakeCandidate(IndexOfCandidate(number));
    if (!c)
        return;
    switch (c->State) {
    case TCandidate::Calling:
    case TCandidate::WasCalled:
    case TCandidate::BeingServed:
    case TCandidate::NotCame:
    case TCandidate::Done:
        c->SetState(TCandidate::WaitingAgain);
        break;
    default:
        break;
    }
    Candidates.append(c);
    SaveData();
    BroadcastQueue();
}

void TQueueNode::MoveForward(int number) {
    TCandidate* c = FindCandidate(number);
    if (!c || !c->IsWaiting() || c->Kind >= 3)
        return;
    auto first = std::find_if(Candidates.begin(), Candidates.end(),
                              [](const TCandidate* o) { return o->IsWaiting() && o->Kind < 3; });
    const int from = IndexOf(c);
    const int to = int(first - Candidates.begin());
    if (to >= from)
        return;
    MoveCandidate(from, to);
    SaveData();
    BroadcastQueue();
}

void TQueueNode::DeleteCandidate(int number) {
    const int i = IndexOfCandidate(number);
    if (i < 0)
        return;
    if (Candidates.at(i)->State == TCandidate::Calling)
        CallEnded();
    delete TakeCandidate(i);
    SaveData();
    BroadcastQueue();
}

void TQueueNode::MoveToQueue(int number, TQueueNode* target) {
    const int i = IndexOfCandidate(number);
    if (i < 0 || !target)
        return;
    if (Candidates.at(i)->State == TCandidate::Calling)
        CallEnded();
    TCandidate* c = TakeCandidate(i);
    c->SetState(TCandidate::FromOther);
    c->Queue = target;
    c->Layout = target->TicketLayout;
    target->AddCandidate(c);
    SaveData();
    BroadcastQueue();
    if (target != this) {
        target->SaveData();
        target->BroadcastQueue();
    }
}

void TQueueNode::SetReason(int number, int reason) {
    TCandidate* c = FindCandidate(number);
    if (!c)
        return;
    c->Reason = quint8(reason);
    TQueuesNode* queues = QueuesNode();
    if (std::optional<int> priority = queues ? queues->ButtonPriority(reason) : std::nullopt) {
        const bool wasUrgent = c->IsUrgent();
        c->Kind = quint8(*priority);
        if (wasUrgent != c->IsUrgent())
            AddCandidate(TakeCandidate(IndexOf(c)));
    }
    SaveData();
    BroadcastQueue();
}

void TQueueNode::SetNote(int number, const QString& text) {
    TCandidate* c = FindCandidate(number);
    if (!c)
        return;
    c->SetNote(text);
    SaveData();
    BroadcastQueue();
}

void TQueueNode::EmptyQueue() {
    while (!Candidates.isEmpty())
        delete Candidates.takeLast();
    SaveData();
    BroadcastQueue();
}

void TQueueNode::TrimHistory() {
    auto first = std::find_if(Candidates.begin(), Candidates.end(),
                              [](const TCandidate* c) { return !c->IsFinished(); });
    const int finished = int(first - Candidates.begin());
    for (int n = finished - std::max(CountOut, 0); n > 0; --n)
        delete Candidates.takeFirst();
}

void TQueueNode::SendAlert(quint8 kind) {
    QByteArray text = "*pQ" + KeyName.toLatin1().left(3);
    text.append(char(kind));
    TQueuePorts::Link().Distribute(text);
}

void TQueueNode::BroadcastQueue() {
    if (TQueuesNode* queues = QueuesNode())
        queues->Broadcast(Mask(), TQueuesNode::QueueState + TQueuesNode::CandidateList);
}

// --- The data file.

QString TQueueNode::DataFileName() const {
    return AbsoluteFromProgram(u"Queue number "_s + KeyName + u".data"_s);
}

QByteArray TQueueNode::ComposeData(double version, double date, int nextNumber,
                                   const QList<TCandidate*>& candidates) {
    QByteArray bytes(HeaderSize, '\0');
    PutDouble(bytes.data(), version);
    PutDouble(bytes.data() + 8, date);
    qToLittleEndian<qint32>(nextNumber, bytes.data() + 16);
    bytes.reserve(HeaderSize + TCandidate::RecordSize * candidates.size());
    for (const TCandidate* c : candidates)
        c->WriteRecord(bytes);
    return bytes;
}

bool TQueueNode::SaveData() {
    return WriteFileDurably(
        DataFileName(), ComposeData(TSetupTree::VersionNumber(), Today(), NextNumber, Candidates));
}

void TQueueNode::LoadData() {
    bool ok = false;
    const QByteArray bytes = ReadWholeFile(DataFileName(), &ok);
    if (!ok || bytes.size() < 8)
        return;
    // A file of another program version is ignored (and overwritten at the next save).
    if (GetDouble(bytes.constData()) != TSetupTree::VersionNumber())
        return;
    if (bytes.size() < 16)
        return;
    if (DateTimeNumber::ToDate(GetDouble(bytes.constData() + 8)) != TClock::Now().date()) {
        // A new day: the photos go and the queue starts empty. The empty day is written at
        // once, so that a restart later today does not take it for a new day again (and
        // delete the photos of today's candidates).
        DeletePhotos();
        SaveData();
        return;
    }
    TQueuesNode* queues = QueuesNode();
    while (!Candidates.isEmpty()) {
        std::unique_ptr<TCandidate> old(Candidates.takeLast());
        // The call is registered again below; its door hold is released first so the
        // door locks count it once.
        if (old->State == TCandidate::Calling && queues && queues->CallList.contains(old.get()))
            CallEnded();
    }
    if (bytes.size() < HeaderSize)
        return;
    NextNumber = qFromLittleEndian<qint32>(bytes.constData() + 16);
    for (qsizetype at = HeaderSize; at + TCandidate::RecordSize <= bytes.size();
         at += TCandidate::RecordSize) {
        auto c = std::make_unique<TCandidate>(this, TicketLayout);
        c->ReadRecord(bytes.constData() + at);
        if (!c->IsValid()) {
            // Nothing of it is known: do not clear any display number for it.
            c->Queue = nullptr;
            return;
        }
        TCandidate* loaded = c.release();
        Candidates.append(loaded);
        if (queues && (loaded->State == TCandidate::Chosen || loaded->State == TCandidate::Calling))
            queues->RegisterCall(loaded);
    }
}

// --- Ticket layouts.

void TQueueNode::FreeRefusalCandidate() {
    delete RefusalCandidate;
    RefusalCandidate = nullptr;
}

void TQueueNode::RemoveLayout(TSetupNode*& layout) {
    if (!layout)
        return;
    TSetupNode* node = layout;
    layout = nullptr;
    RemoveChild(node);
}

void TQueueNode::UpdateTicketNodes() {
    const TQueueChildClasses& classes = ChildClasses();
    switch (UnabledAction) {
    case 1:
        if (!DenyLayout && classes.DenyTicket)
            DenyLayout = classes.DenyTicket(Tree(), this);
        if (!RefusalCandidate)
            RefusalCandidate = new TCandidate(this, DenyLayout);
        RefusalCandidate->Layout = DenyLayout;
        RemoveLayout(TomorrowLayout);
        break;
    case 2:
        RemoveLayout(DenyLayout);
        FreeRefusalCandidate();
        if (!TomorrowLayout && classes.TomorrowTicket)
            TomorrowLayout = classes.TomorrowTicket(Tree(), this);
        break;
    default:
        RemoveLayout(DenyLayout);
        FreeRefusalCandidate();
        RemoveLayout(TomorrowLayout);
        break;
    }
}
