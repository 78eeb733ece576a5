#include "engine/engineports.h"

#include "engine/queueports.h"
#include "engine/stationmessage.h"

void TStandaloneHost::SetOpened(bool open) {
    if (open == Open)
        return;
    Open = open;
    TQueuePorts::Link().Distribute(StationMessage::OpenedState(open));
    TQueuePorts::Devices().RestartConfiguration();
}

namespace {

class TSilentPrintBoxes final : public IEnginePrintBoxes {
public:
    void SendStates() override {}
    void BeepOk(TSetupNode*) override {}
    bool PrintsTickets(TSetupNode*) override { return false; }
    void SetLastCandidate(TSetupNode*, TCandidate*) override {}
    void SendConfigurationNow(TSetupNode*) override {}
    void ForEachRow(const std::function<void(int, int)>&) override {}
    int LockState(int) override { return 0; }
    int DoorState(int) override { return 0; }
};

class TNoCameras final : public IEngineCameras {
public:
    void SendStates() override { TQueuePorts::Link().Distribute(StationMessage::NoCamera()); }
    void TakePhoto(int) override {}
};

class TSilentTickets final : public IEngineTickets {
public:
    void RenderTicket(TSetupNode*, TCandidate*, bool) override {}
};

class TSilentAudio final : public IEngineAudio {
public:
    void PlayAlert(TSetupNode*, int, int) override {}
};

TStandaloneHost DefaultHost;
TSilentPrintBoxes DefaultPrintBoxes;
TNoCameras DefaultCameras;
TSilentTickets DefaultTickets;
TSilentAudio DefaultAudio;
IEngineHost* InstalledHost = nullptr;
IEnginePrintBoxes* InstalledPrintBoxes = nullptr;
IEngineCameras* InstalledCameras = nullptr;
IEngineTickets* InstalledTickets = nullptr;
IEngineAudio* InstalledAudio = nullptr;

} // namespace

namespace TEnginePorts {

void InstallHost(IEngineHost* host) {
    InstalledHost = host;
}
void InstallPrintBoxes(IEnginePrintBoxes* boxes) {
    InstalledPrintBoxes = boxes;
}
void InstallCameras(IEngineCameras* cameras) {
    InstalledCameras = cameras;
}
void InstallTickets(IEngineTickets* tickets) {
    InstalledTickets = tickets;
}
void InstallAudio(IEngineAudio* audio) {
    InstalledAudio = audio;
}
IEngineHost& Host() {
    return InstalledHost ? *InstalledHost : DefaultHost;
}
IEnginePrintBoxes& PrintBoxes() {
    return InstalledPrintBoxes ? *InstalledPrintBoxes : DefaultPrintBoxes;
}
IEngineCameras& Cameras() {
    return InstalledCameras ? *InstalledCameras : DefaultCameras;
}
IEngineTickets& Tickets() {
    return InstalledTickets ? *InstalledTickets : DefaultTickets;
}
IEngineAudio& Audio() {
    return InstalledAudio ? *InstalledAudio : DefaultAudio;
}

} // namespace TEnginePorts
