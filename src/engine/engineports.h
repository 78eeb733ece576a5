#pragma once

#include <functional>

class TCandidate;
class TSetupNode;

// What the commands, the ticket issue and the calling cycle need from the rest of the program:
// the main window, the print boxes with their displays and door locks, the cameras, the ticket
// printing and the announcements. The engine declares these seams; the other subsystems
// implement them and the program wires them in. Until then every call goes nowhere (the
// waiting room is open and there is no camera). Print boxes are passed as their setup nodes.

// The main window's part.
class IEngineHost {
public:
    virtual ~IEngineHost() = default;
    // The waiting room is open for the day.
    virtual bool Opened() const = 0;
    // Stores the state; a change sends "*pM" to all and makes the devices show it.
    virtual void SetOpened(bool open) = 0;
    // The camera action: shows the camera view.
    virtual void ShowCameraView() = 0;
};

// The host of a program without a main window (a server, a test): keeps the open state,
// announces a change with "*pM" through the queues' link and restarts the print boxes'
// configuration.
class TStandaloneHost : public IEngineHost {
public:
    bool Opened() const override { return Open; }
    void SetOpened(bool open) override;
    void ShowCameraView() override { ++CameraViewShown; }
    bool Open = true;
    int CameraViewShown = 0;
};

class IEnginePrintBoxes {
public:
    virtual ~IEnginePrintBoxes() = default;
    // Every print box sends its state message ("*pP").
    virtual void SendStates() = 0;
    virtual void BeepOk(TSetupNode* box) = 0;
    // The box prints tickets ("PrintTicket").
    virtual bool PrintsTickets(TSetupNode* box) = 0;
    // The candidate whose ticket the box prints next.
    virtual void SetLastCandidate(TSetupNode* box, TCandidate* candidate) = 0;
    virtual void SendConfigurationNow(TSetupNode* box) = 0;
    // Visits every row of every display of every print box with its "Show" and "Queues".
    virtual void ForEachRow(const std::function<void(int show, int queues)>& visit) = 0;
    // The highest lock state and door-sensor state of the door locks that serve a queue of the
    // mask; 0 when none does.
    virtual int LockState(int mask) = 0;
    virtual int DoorState(int mask) = 0;
};

class IEngineCameras {
public:
    virtual ~IEngineCameras() = default;
    // The camera state messages ("*pH"); without any camera "*pH002".
    virtual void SendStates() = 0;
    // Every camera takes a picture for the photo number.
    virtual void TakePhoto(int photoId) = 0;
};

class IEngineTickets {
public:
    virtual ~IEngineTickets() = default;
    // Draws, codes and sends the candidate's ticket (its Layout) to the print box.
    virtual void RenderTicket(TSetupNode* box, TCandidate* candidate, bool crossedOut) = 0;
};

class IEngineAudio {
public:
    enum Alerts {
        AlertNothingButton, // a box's button that issues nothing
        AlertQueueFull,     // a ticket for a closed queue
        AlertPrintTicket,   // a ticket is printed, with its number
        AlertInviting,      // a call starts, with the number
        AlertInviteSoon,    // the next one to get ready, with the number
    };
    virtual ~IEngineAudio() = default;
    // Plays the alert on the audio output of the owner (a queue or a print box).
    virtual void PlayAlert(TSetupNode* owner, int alert, int number) = 0;
};

namespace TEnginePorts {

// Installs the implementations (not owned); nullptr restores the default.
void InstallHost(IEngineHost* host);
void InstallPrintBoxes(IEnginePrintBoxes* boxes);
void InstallCameras(IEngineCameras* cameras);
void InstallTickets(IEngineTickets* tickets);
void InstallAudio(IEngineAudio* audio);
IEngineHost& Host();
IEnginePrintBoxes& PrintBoxes();
IEngineCameras& Cameras();
IEngineTickets& Tickets();
IEngineAudio& Audio();

} // namespace TEnginePorts
