#pragma once

// Helpers shared by the operator-side tests: a recording host and builders of state texts.

#include "engine/candidate.h"
#include "engine/stationmessage.h"
#include "operator/formclient.h"

#include <QDir>
#include <QWidget>

class TRecordingHost : public IClientHost {
public:
    bool Opened = true;
    QList<TQueueEntry> Entries;
    QList<QByteArray> Sent;
    int Reloads = 0;
    bool IsOpened() const override { return Opened; }
    void SendToEngine(const QByteArray& text) override { Sent << text; }
    QList<TQueueEntry> QueueEntries() const override { return Entries; }
    void ReloadQueueSettings() override { ++Reloads; }
    void ClientDestroyed(TFormClient*) override {}
    void SetQueues(int count) {
        Entries.clear();
        for (int i = 1; i <= count; ++i)
            Entries.append({1 << i, QStringLiteral("Fronta %1").arg(i), i});
    }
};

inline QByteArray QueueStateText(int mask, int next, int called = 0, bool open = true, int lock = 0,
                                 int door = 0, int rooms = 2) {
    StationMessage::TQueueState s;
    s.Mask = mask;
    s.ServedCount = 7;
    s.ActiveCount = 3;
    s.CalledNumber = called;
    s.NextNumber = next;
    s.LockState = lock;
    s.DoorState = door;
    s.Open = open ? 1 : 0;
    s.Rooms = quint8(rooms);
    QByteArray text;
    StationMessage::AppendQueueState(text, s);
    return text;
}

struct TRowSpec {
    int Number;
    int State;
    int Kind = 1;
    int Reason = 1;
    QString Note = {};
    int PhotoId = 0;
};

inline QByteArray CandidateRecord(const TRowSpec& r) {
    TCandidate c(nullptr, nullptr);
    c.Number = r.Number;
    c.State = quint8(r.State);
    c.Kind = quint8(r.Kind);
    c.Reason = quint8(r.Reason);
    c.PhotoId = r.PhotoId;
    c.SetNote(r.Note);
    return c.Record();
}

inline QByteArray CandidateListText(int mask, const QList<TRowSpec>& rows, bool closed = true) {
    QByteArray text = StationMessage::CandidateListStart(mask);
    for (const TRowSpec& r : rows)
        StationMessage::AppendCandidate(text, mask, CandidateRecord(r).constData());
    if (closed)
        text += StationMessage::CandidateListEnd(mask);
    return text;
}

// Keeps a screenshot under the build's artefacts.
inline void SaveShot(QWidget* w, const QString& name) {
    const QString dir = qEnvironmentVariable("LOBRANA_BUILD_DIR") + QStringLiteral("/artifacts");
    QDir().mkpath(dir);
    w->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}
