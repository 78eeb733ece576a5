#include "engine/queueports.h"

namespace {

class TSilentLink final : public IQueueLink {
public:
    void Distribute(const QByteArray&) override {}
};

class TSilentDevices final : public IQueueDevices {
public:
    void DoorEvent(int, int) override {}
    void ClearNumber(int) override {}
    void RestartConfiguration() override {}
};

TSilentLink SilentLink;
TSilentDevices SilentDevices;
IQueueLink* InstalledLink = nullptr;
IQueueDevices* InstalledDevices = nullptr;

} // namespace

namespace TQueuePorts {

void InstallLink(IQueueLink* link) {
    InstalledLink = link;
}

void InstallDevices(IQueueDevices* devices) {
    InstalledDevices = devices;
}

IQueueLink& Link() {
    return InstalledLink ? *InstalledLink : SilentLink;
}

IQueueDevices& Devices() {
    return InstalledDevices ? *InstalledDevices : SilentDevices;
}

} // namespace TQueuePorts
