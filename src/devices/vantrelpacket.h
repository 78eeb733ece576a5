#pragma once

#include <QByteArray>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace lobrana::devices {

class TVantrelPacketList;
class TVantrelDevice;
class TVantrelDeviceList;
class TVantrelThread;

inline constexpr int kMaxPacketData = 255;
inline constexpr char kReplyAccepted = 'A';
inline constexpr char kReplyRefused = 'N';

// One frame's content; a packet queued for sending knows its list.
struct TVantrelPacket {
    std::uint8_t Address = 0;
    std::uint8_t Sequence = 0; // set when the packet is taken for transmission
    char Command = 0;
    QByteArray Data; // 0..255 bytes
    int Tries = 0;   // resends so far
    TVantrelPacketList* List = nullptr;

    // The frame on the wire: start mark, address, sequence, command, length, data, CRC (high
    // byte first). Data beyond 255 bytes is not carried.
    QByteArray Frame() const;
};

// A locked first-in-first-out list of packets that knows its device.
class TVantrelPacketList {
public:
    explicit TVantrelPacketList(TVantrelDevice* device) : m_device(device) {}
    TVantrelPacketList(const TVantrelPacketList&) = delete;
    TVantrelPacketList& operator=(const TVantrelPacketList&) = delete;

    TVantrelDevice* Device() const { return m_device; }
    std::unique_lock<std::recursive_mutex> Lock() const {
        return std::unique_lock<std::recursive_mutex>(m_mutex);
    }

    // Each of these takes the lock itself.
    void Append(std::unique_ptr<TVantrelPacket> packet);
    std::unique_ptr<TVantrelPacket> TakeFirst();
    // A copy of the head (belonging to `owner`), with the head moved to the end.
    std::unique_ptr<TVantrelPacket> CopyFirstAndRotate(TVantrelPacketList* owner);
    // Drops every packet with this command, walking from the last to the first.
    void RemoveCommand(char command);
    int Count() const;
    bool IsEmpty() const { return Count() == 0; }
    QList<QByteArray> DataOf(char command) const; // for inspection

private:
    TVantrelDevice* m_device;
    mutable std::recursive_mutex m_mutex;
    std::deque<std::unique_ptr<TVantrelPacket>> m_items;
};

// What a device's turn yields: the transmission copy and, when this was the resend that used up
// the tries, a copy of the pending packet for the time-out report.
struct TVantrelChoice {
    std::unique_ptr<TVantrelPacket> transmission;
    std::optional<TVantrelPacket> timedOut;
};

// One addressed device on the bus.
class TVantrelDevice {
public:
    TVantrelDevice(std::uint8_t address, int period);
    TVantrelDevice(const TVantrelDevice&) = delete;
    TVantrelDevice& operator=(const TVantrelDevice&) = delete;
    ~TVantrelDevice();

    std::uint8_t Address;
    qint64 LastSent = 0; // ms of the bus clock; 0 at creation
    int Period;          // ms of idle time before the next cyclic packet
    int ReplyTimeout = 1000;
    int MaxTries = 3;
    void* Owner = nullptr; // the node that owns this device

    TVantrelPacketList Queue;       // one-shot packets; its lock also guards Pending
    TVantrelPacketList CyclicQueue; // repeated in turn while idle

    // Queued from the owner's thread. Data is cut into packets of 255 bytes; with `replace`,
    // not-yet-sent packets of the command are dropped first, and data above 255 bytes is refused
    // with EComError ("Ilegal combination (Data Length %d and cache").
    void AddPacket(char command, const QByteArray& data, bool replace);
    void AddCyclicPacket(char command, const QByteArray& data, bool replace);

    bool HasPending() const;
    std::optional<TVantrelPacket> PendingCopy() const;

    // Bus side: the packet to send now, if any (`now` in ms of the bus clock).
    TVantrelChoice NextPacket(std::uint8_t sequence, qint64 now);
    // Bus side: takes the reply when it answers the pending packet; returns the request.
    std::unique_ptr<TVantrelPacket> MatchReply(const TVantrelPacket& reply);

private:
    void Add(TVantrelPacketList& list, char command, const QByteArray& data, bool replace);

    std::unique_ptr<TVantrelPacket> m_pending;
};

// A locked list of devices that knows its bus master.
class TVantrelDeviceList {
public:
    explicit TVantrelDeviceList(TVantrelThread* thread) : m_thread(thread) {}
    TVantrelDeviceList(const TVantrelDeviceList&) = delete;
    TVantrelDeviceList& operator=(const TVantrelDeviceList&) = delete;

    TVantrelThread* Thread() const { return m_thread; }
    std::unique_lock<std::recursive_mutex> Lock() const {
        return std::unique_lock<std::recursive_mutex>(m_mutex);
    }

    std::shared_ptr<TVantrelDevice> AddDevice(std::uint8_t address, int period);
    // Removes the device; an event already on its way for it is not delivered.
    bool RemoveDevice(const TVantrelDevice* device);
    bool Contains(const TVantrelDevice* device) const;
    int Count() const;
    std::shared_ptr<TVantrelDevice> At(int index) const;

private:
    TVantrelThread* m_thread;
    mutable std::recursive_mutex m_mutex;
    std::deque<std::shared_ptr<TVantrelDevice>> m_items;
};

} // namespace lobrana::devices
