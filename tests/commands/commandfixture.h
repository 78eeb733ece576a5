#pragma once

// A setup tree with queues and buttons whose engine runs locally, with recording seams for the
// link, the devices, the main window, the cameras, the tickets and the announcements.

#include "support/testenv.h"
#include "support/testnodes.h"

#include "engine/buttonsnode.h"
#include "engine/callingcycle.h"
#include "engine/candidate.h"
#include "engine/commands.h"
#include "engine/engineports.h"
#include "engine/queuenode.h"
#include "engine/queueports.h"
#include "engine/queuesnode.h"
#include "engine/setuptree.h"
#include "engine/stationmessage.h"
#include "engine/userprompt.h"

#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

// Records every seam call as a short line ("beep 001", "alert queue 002 1 100").
class TRecordingPorts : public IQueueLink,
                        public IQueueDevices,
                        public IEnginePrintBoxes,
                        public IEngineCameras,
                        public IEngineTickets,
                        public IEngineAudio {
public:
    // IQueueLink
    void Distribute(const QByteArray& text) override { Texts << text; }
    // IQueueDevices
    void DoorEvent(int event, int mask) override { Doors.push_back({event, mask}); }
    void ClearNumber(int) override {}
    void RestartConfiguration() override { ++Restarts; }
    // IEnginePrintBoxes
    void SendStates() override { Texts << StationMessage::PrintBoxState(1, u"Box"_qs, 0, 0); }
    void BeepOk(TSetupNode* box) override { Log << u"beep "_qs + box->KeyName; }
    bool PrintsTickets(TSetupNode*) override { return PrintTicket; }
    void SetLastCandidate(TSetupNode* box, TCandidate* c) override {
        Log << u"last %1 %2"_qs.arg(box->KeyName).arg(c->Number);
    }
    void SendConfigurationNow(TSetupNode* box) override { Log << u"configure "_qs + box->KeyName; }
    void ForEachRow(const std::function<void(int, int)>& visit) override {
        for (auto [show, queues] : Rows)
            visit(show, queues);
    }
    int LockState(int mask) override { return mask == 2 ? Lock : 0; }
    int DoorState(int mask) override { return mask == 2 ? Door : 0; }
    // IEngineCameras (SendStates is shared with the print boxes: the camera line is the text)
    void TakePhoto(int photoId) override { Log << u"photo %1"_qs.arg(photoId); }
    // IEngineTickets
    void RenderTicket(TSetupNode* box, TCandidate* c, bool crossed) override {
        Log << u"ticket %1 %2 %3"_qs.arg(box->KeyName).arg(c->Number).arg(crossed);
    }
    // IEngineAudio
    void PlayAlert(TSetupNode* owner, int alert, int number) override {
        Log << u"alert %1 %2 %3"_qs.arg(owner->KeyName).arg(alert).arg(number);
    }

    QList<QByteArray> Texts;
    std::vector<std::pair<int, int>> Doors;
    std::vector<std::pair<int, int>> Rows; // (Show, Queues)
    QStringList Log;
    int Restarts = 0;
    bool PrintTicket = true;
    int Lock = 0;
    int Door = 0;
};

// The cameras' part: the engine's default sends "*pH002"; this one names itself.
class TRecordingCameras : public IEngineCameras {
public:
    explicit TRecordingCameras(TRecordingPorts& ports) : Ports(ports) {}
    void SendStates() override { Ports.Texts << StationMessage::CameraState(1, true, u"K"_qs); }
    void TakePhoto(int photoId) override { Ports.TakePhoto(photoId); }
    TRecordingPorts& Ports;
};

class TCommandFixture {
public:
    TCommandFixture() {
        TQueuePorts::InstallLink(&Ports);
        TQueuePorts::InstallDevices(&Ports);
        TEnginePorts::InstallHost(&Host);
        TEnginePorts::InstallPrintBoxes(&Ports);
        TEnginePorts::InstallTickets(&Ports);
        TEnginePorts::InstallAudio(&Ports);
        TUserPrompt::Install(&Prompt);
        Env.SetNow(QDateTime(QDate(2025, 3, 3), QTime(8, 0)));
    }
    ~TCommandFixture() {
        Tree.reset();
        TQueuePorts::InstallLink(nullptr);
        TQueuePorts::InstallDevices(nullptr);
        TEnginePorts::InstallHost(nullptr);
        TEnginePorts::InstallPrintBoxes(nullptr);
        TEnginePorts::InstallCameras(nullptr);
        TEnginePorts::InstallTickets(nullptr);
        TEnginePorts::InstallAudio(nullptr);
        TUserPrompt::Install(nullptr);
    }
    TCommandFixture(const TCommandFixture&) = delete;
    TCommandFixture& operator=(const TCommandFixture&) = delete;

    // Builds the tree from the store (a program start); withCameras adds a cameras node.
    TQueuesNode* Start(bool withCameras = false) {
        Tree.reset();
        Tree = std::make_unique<TSetupTree>();
        if (withCameras)
            Tree->SetTopClass(TSetupTree::SlotCameras, TSetupNode::ClassOf<TTestBoxesNode>());
        Tree->BuildTree();
        Tree->Timer().stop();
        Queues = Tree->QueuesNode;
        Buttons = Tree->ButtonsNode;
        return Queues;
    }
    TQueueNode* Queue(int number, int minNumber = 100, int maxNumber = 999) {
        return Queues->CreateQueue(number, QStringLiteral("Fronta %1").arg(number), minNumber,
                                   maxNumber, 10, 2);
    }
    // The first-run queues and buttons.
    void Defaults() {
        Queue(1);
        Queue(2, 10, 99);
        Buttons->CreateButton(u"Lékař"_qs, 0, 1, 1);
        Buttons->CreateButton(u"Sestra"_qs, 1, 1, 2);
        Buttons->CreateButton(u"Odběry Injek."_qs, 2, 1, 2);
        Buttons->CreateButton(u"Akutní ošetř."_qs, 3, 3, 1);
    }
    bool Execute(const QByteArray& text) { return EngineCommands::ExecuteCommand(*Tree, text); }
    // n periods of the setup window's timer.
    void Tick(int n = 1) {
        for (int i = 0; i < n; ++i)
            Tree->OnTimer();
    }
    void Clear() {
        Ports.Texts.clear();
        Ports.Doors.clear();
        Ports.Log.clear();
        Ports.Restarts = 0;
    }
    // The letters of the messages of a text.
    static QByteArray Letters(const QByteArray& text) {
        QByteArray letters;
        for (const StationMessage::TStateMessage& m : StationMessage::ReadStateMessages(text))
            letters.append(m.Letter);
        return letters;
    }
    static QList<int> States(const TQueueNode* q) {
        QList<int> list;
        for (const TCandidate* c : q->Candidates)
            list << c->State;
        return list;
    }

    TTestEnv Env;
    TRecordingPorts Ports;
    TStandaloneHost Host;
    TScriptedPrompt Prompt;
    std::unique_ptr<TSetupTree> Tree;
    TQueuesNode* Queues = nullptr;
    TButtonsNode* Buttons = nullptr;
};
