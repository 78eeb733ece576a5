#pragma once

#include <QByteArray>

class TCandidate;

// What the queues need from the rest of the program. The engine declares these seams; the
// computer link and the device subsystem implement them and the program wires them in. Until
// then (and in a server-less test) every call goes nowhere.

// The computer link.
class IQueueLink {
public:
    virtual ~IQueueLink() = default;
    // Delivers a station message text to this program's operators and to every station.
    virtual void Distribute(const QByteArray& text) = 0;
};

// The print boxes with their displays and door locks.
class IQueueDevices {
public:
    virtual ~IQueueDevices() = default;
    // Door events given to every door lock with a queue mask: 1 call ended, 2 call started,
    // 5 opened by an operator.
    virtual void DoorEvent(int event, int mask) = 0;
    // A ticket number left the queues: every display row that shows it goes blank.
    virtual void ClearNumber(int number) = 0;
    // Which buttons can issue tickets has changed: every print box configures itself again.
    virtual void RestartConfiguration() = 0;
    // A candidate is being freed: whoever keeps a reference to it (a print box's last
    // candidate) lets go of it.
    virtual void CandidateFreed(const TCandidate* candidate) { (void)candidate; }
};

namespace TQueuePorts {

enum DoorEvents { DoorCallEnded = 1, DoorCallStarted = 2, DoorOpen = 5 };

// Installs the implementations (not owned); nullptr restores the silent default.
void InstallLink(IQueueLink* link);
void InstallDevices(IQueueDevices* devices);
IQueueLink& Link();
IQueueDevices& Devices();

} // namespace TQueuePorts
