#pragma once

#include "devices/busclock.h"
#include "devices/serialport.h"
#include "devices/vantrelpacket.h"

#include <QPointer>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace lobrana::devices {

// The master of one serial device bus: sends the devices' queued packets in rotation, resends
// unanswered ones, matches replies, answers device messages, and hands every event to the thread
// that made it (the main thread), waiting until the handler returns. Events are delivered with
// no bus lock held, so handlers may add and remove devices and queue packets.
class TVantrelThread : public TComThread {
    Q_OBJECT
public:
    using ReplyEvent =
        std::function<void(TVantrelThread* thread, TVantrelDevice* device, const QByteArray& data,
                           char command, const TVantrelPacket& request)>;
    using MessageEvent = std::function<void(TVantrelThread* thread, const TVantrelPacket& message,
                                            std::uint8_t& replyData, char& replyCommand)>;
    using TimeoutEvent = std::function<void(TVantrelThread* thread, TVantrelDevice* device,
                                            const TVantrelPacket& packet)>;
    // The port failed (a USB adapter pulled out): the loop has ended; the owner closes the port.
    using PortLostEvent = std::function<void(TVantrelThread* thread, const QString& error)>;
    using PacketLog = std::function<void(const QString& label, const TVantrelPacket& packet)>;
    using TextLog = std::function<void(const QString& text)>;

    struct Options {
        int startDelayMs = 3000; // wait for the owner's configuration; StartNow() ends it early
        IMillisecondClock* clock = nullptr; // the system clock when none
    };

    // Opens the port (EComError "TVantrelThread-<name>:<system message>" when it cannot) and
    // starts the body.
    explicit TVantrelThread(const QString& portName, QObject* parent = nullptr);
    TVantrelThread(const QString& portName, const Options& options, QObject* parent = nullptr);
    // Clears the events, stops the body (also while it waits for a handler) and closes the port.
    ~TVantrelThread() override;

    TVantrelDeviceList Devices;
    bool LogEnabled = true;

    void SetOnReply(ReplyEvent handler);
    void SetOnMessage(MessageEvent handler);
    void SetOnTimeout(TimeoutEvent handler);
    void SetOnPortLost(PortLostEvent handler);
    void SetPacketLog(PacketLog hook) { m_packetLog = std::move(hook); }
    void SetTextLog(TextLog hook) { m_textLog = std::move(hook); }
    void SetErrorLog(TextLog hook);

    // Ends the start-up wait: the owner has configured the port.
    void StartNow();

    // Whether the loop runs (false after a port failure or an error ended it).
    bool LoopRunning() const { return m_loopRunning.load(); }
    int LastMessageSequence() const { return m_lastMessageSequence.load(); }

protected:
    void Execute() override;

    virtual void DispatchReply(const TVantrelPacket& reply);
    virtual void DeliverTimeout(const std::shared_ptr<TVantrelDevice>& device,
                                const TVantrelPacket& packet);
    virtual void HandleMessage(TVantrelPacket& message);
    virtual void DeliverReply(const std::shared_ptr<TVantrelDevice>& device,
                              const TVantrelPacket& reply, const TVantrelPacket& request);

private:
    struct Shared;
    struct Choice {
        std::unique_ptr<TVantrelPacket> packet;
        std::shared_ptr<TVantrelDevice> timedOutDevice;
        std::optional<TVantrelPacket> timedOut;
    };

    Choice NextPacket(std::uint8_t sequence);
    void Loop();
    void Deliver(std::function<void(Shared&)> work);
    void LogError(const QString& text);

    std::shared_ptr<Shared> m_shared;
    QObject* m_context = nullptr; // lives in the owner's thread; events run through it
    IMillisecondClock* m_clock;
    int m_startDelayMs;
    int m_rotation = 0;
    std::atomic_int m_lastMessageSequence{-1};
    std::atomic_bool m_loopRunning{false};
    PacketLog m_packetLog;
    TextLog m_textLog;
};

} // namespace lobrana::devices
