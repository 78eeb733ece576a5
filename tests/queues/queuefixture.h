#pragma once

// A setup tree with the queues node, recording seams for the link and the devices, and a
// helper that reads little-endian fields from bytes independently of the engine's writers.

#include "support/testenv.h"

#include "engine/candidate.h"
#include "engine/queuenode.h"
#include "engine/queueports.h"
#include "engine/queuesnode.h"
#include "engine/setuptree.h"

#include <QtEndian>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

class TRecordingLink : public IQueueLink {
public:
    void Distribute(const QByteArray& text) override { Texts << text; }
    // The kinds of the "*pQ" warnings of the queue with that key, in order.
    QList<int> Alerts(const QByteArray& key) const {
        QList<int> kinds;
        for (const QByteArray& t : Texts)
            if (t.size() == 7 && t.startsWith("*pQ" + key))
                kinds << int(quint8(t.at(6)));
        return kinds;
    }
    QList<QByteArray> Texts;
};

class TRecordingDevices : public IQueueDevices {
public:
    void DoorEvent(int event, int mask) override { Doors.push_back({event, mask}); }
    void ClearNumber(int number) override { Cleared << number; }
    void RestartConfiguration() override { ++Restarts; }
    void CandidateFreed(const TCandidate* c) override { Freed << c; }
    std::vector<std::pair<int, int>> Doors;
    QList<int> Cleared;
    QList<const TCandidate*> Freed;
    int Restarts = 0;
};

// Reads the bytes of a file or record at fixed offsets.
struct TBytes {
    QByteArray Data;
    qint32 Int(int at) const { return qFromLittleEndian<qint32>(Data.constData() + at); }
    quint8 Byte(int at) const { return quint8(Data.at(at)); }
    double Double(int at) const {
        quint64 bits = qFromLittleEndian<quint64>(Data.constData() + at);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
};

class TQueueFixture {
public:
    TQueueFixture() {
        TQueuePorts::InstallLink(&Link);
        TQueuePorts::InstallDevices(&Devices);
        Env.SetNow(QDateTime(QDate(2025, 3, 3), QTime(8, 0)));
    }
    ~TQueueFixture() {
        Tree.reset();
        TQueuePorts::InstallLink(nullptr);
        TQueuePorts::InstallDevices(nullptr);
    }

    // Builds the tree from the store (a program start).
    TQueuesNode* Start() {
        Tree.reset();
        Tree = std::make_unique<TSetupTree>();
        Tree->BuildTree();
        Tree->Timer().stop();
        Queues = Tree->QueuesNode;
        Queues->BroadcastHandler = [this](int mask, int flags) {
            Broadcasts.push_back({mask, flags});
        };
        return Queues;
    }
    // A queue of that number with the range, created once in the store.
    TQueueNode* Queue(int number, int minNumber = 100, int maxNumber = 999, int countOut = 10,
                      int repeatTime = 2) {
        return Queues->CreateQueue(number, QStringLiteral("Fronta %1").arg(number), minNumber,
                                   maxNumber, countOut, repeatTime);
    }
    // Plays the calling cycle's part for the chosen candidate: called, then the invitation
    // time runs out.
    static void RunCall(TQueuesNode* queues, TCandidate* c) {
        c->SetState(TCandidate::Calling);
        ++c->CallCount;
        c->SetState(TCandidate::WasCalled);
        queues->ForgetCall(c);
    }
    static QList<int> Numbers(const TQueueNode* q) {
        QList<int> list;
        for (const TCandidate* c : q->Candidates)
            list << c->Number;
        return list;
    }
    static QList<int> States(const TQueueNode* q) {
        QList<int> list;
        for (const TCandidate* c : q->Candidates)
            list << c->State;
        return list;
    }
    void SetNow(const QDateTime& now) { Env.SetNow(now); }

    TTestEnv Env;
    TRecordingLink Link;
    TRecordingDevices Devices;
    std::unique_ptr<TSetupTree> Tree;
    TQueuesNode* Queues = nullptr;
    std::vector<std::pair<int, int>> Broadcasts;
};
