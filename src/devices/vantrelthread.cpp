#include "devices/vantrelthread.h"

#include "devices/crc16.h"

#include <QMetaObject>

#include <array>
#include <chrono>
#include <cstring>
#include <cxxabi.h>
#include <typeinfo>

namespace lobrana::devices {

struct TVantrelThread::Shared {
    std::mutex mutex;
    std::condition_variable cv;
    bool stopping = false;
    bool startNow = false;
    int delivering = 0; // handlers running in the owner's thread now
    ReplyEvent onReply;
    MessageEvent onMessage;
    TimeoutEvent onTimeout;
    PortLostEvent onPortLost;
    TextLog errorLog;

    template <typename T> T Get(T Shared::*member) {
        std::lock_guard lock(mutex);
        return this->*member;
    }
};

namespace {

QString ClassNameOf(const std::exception& e) {
    if (const auto* com = dynamic_cast<const EComError*>(&e))
        return com->ClassName();
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    const QString text = QString::fromLatin1(status == 0 && name ? name : typeid(e).name());
    std::free(name);
    return text;
}

QString MessageOf(const std::exception& e) {
    if (const auto* com = dynamic_cast<const EComError*>(&e))
        return com->Message();
    return QString::fromLocal8Bit(e.what());
}

constexpr int kHeader = 5;
constexpr int kMinFrame = 7;
constexpr int kMaxFrame = kMaxPacketData + kMinFrame;

} // namespace

TVantrelThread::TVantrelThread(const QString& portName, QObject* parent)
    : TVantrelThread(portName, Options{}, parent) {}

TVantrelThread::TVantrelThread(const QString& portName, const Options& options, QObject* parent)
    : TComThread(portName, QStringLiteral("TVantrelThread"), parent), Devices(this),
      m_shared(std::make_shared<Shared>()), m_context(new QObject),
      m_clock(options.clock ? options.clock : TSystemClock::Instance()),
      m_startDelayMs(options.startDelayMs) {
    StartBody();
}

TVantrelThread::~TVantrelThread() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stopping = true;
        m_shared->onReply = nullptr;
        m_shared->onMessage = nullptr;
        m_shared->onTimeout = nullptr;
        m_shared->onPortLost = nullptr;
    }
    m_shared->cv.notify_all();
    StopBody();
    bool busy = false;
    {
        std::lock_guard lock(m_shared->mutex);
        busy = m_shared->delivering > 0;
    }
    // Destroyed from inside a handler: the context still carries that call.
    if (busy)
        m_context->deleteLater();
    else
        delete m_context;
}

void TVantrelThread::SetOnReply(ReplyEvent handler) {
    std::lock_guard lock(m_shared->mutex);
    m_shared->onReply = std::move(handler);
}

void TVantrelThread::SetOnMessage(MessageEvent handler) {
    std::lock_guard lock(m_shared->mutex);
    m_shared->onMessage = std::move(handler);
}

void TVantrelThread::SetOnTimeout(TimeoutEvent handler) {
    std::lock_guard lock(m_shared->mutex);
    m_shared->onTimeout = std::move(handler);
}

void TVantrelThread::SetOnPortLost(PortLostEvent handler) {
    std::lock_guard lock(m_shared->mutex);
    m_shared->onPortLost = std::move(handler);
}

void TVantrelThread::SetErrorLog(TextLog hook) {
    std::lock_guard lock(m_shared->mutex);
    m_shared->errorLog = std::move(hook);
}

void TVantrelThread::StartNow() {
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->startNow = true;
    }
    m_shared->cv.notify_all();
}

void TVantrelThread::LogError(const QString& text) {
    if (auto log = m_shared->Get(&Shared::errorLog))
        log(text);
}

// Runs `work` in the owner's thread and waits until it returned or the bus master is being
// destroyed. `work` must not touch the bus master after calling a handler: the handler may
// destroy it.
void TVantrelThread::Deliver(std::function<void(Shared&)> work) {
    auto shared = m_shared;
    auto done = std::make_shared<bool>(false);
    {
        std::lock_guard lock(shared->mutex);
        if (shared->stopping)
            return;
    }
    QMetaObject::invokeMethod(
        m_context,
        [shared, done, work = std::move(work)] {
            {
                std::lock_guard lock(shared->mutex);
                if (shared->stopping) {
                    *done = true;
                    shared->cv.notify_all();
                    return;
                }
                ++shared->delivering;
            }
            try {
                work(*shared);
            } catch (const std::exception& e) {
                if (auto log = shared->Get(&Shared::errorLog))
                    log(ClassNameOf(e) + u':' + MessageOf(e));
            } catch (...) {
                if (auto log = shared->Get(&Shared::errorLog))
                    log(QStringLiteral("Exception:unknown error"));
            }
            std::lock_guard lock(shared->mutex);
            --shared->delivering;
            *done = true;
            shared->cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(shared->mutex);
    shared->cv.wait(lock, [&] { return *done || shared->stopping; });
}

TVantrelThread::Choice TVantrelThread::NextPacket(std::uint8_t sequence) {
    Choice choice;
    auto lock = Devices.Lock();
    const int count = Devices.Count();
    if (count == 0)
        return choice;
    const qint64 now = m_clock->NowMs();
    const int start = m_rotation % count;
    for (int k = 0; k < count; ++k) {
        auto device = Devices.At((start + k) % count);
        TVantrelChoice c = device->NextPacket(sequence, now);
        if (!c.transmission)
            continue;
        m_rotation = (start + 1) % count;
        choice.packet = std::move(c.transmission);
        if (c.timedOut) {
            choice.timedOutDevice = device;
            choice.timedOut = std::move(c.timedOut);
        }
        break;
    }
    return choice;
}

void TVantrelThread::DispatchReply(const TVantrelPacket& reply) {
    std::shared_ptr<TVantrelDevice> device;
    std::unique_ptr<TVantrelPacket> request;
    {
        auto lock = Devices.Lock();
        for (int i = 0, n = Devices.Count(); i < n && !request; ++i) {
            device = Devices.At(i);
            request = device->MatchReply(reply);
        }
    }
    if (request)
        DeliverReply(device, reply, *request);
}

void TVantrelThread::DeliverReply(const std::shared_ptr<TVantrelDevice>& device,
                                  const TVantrelPacket& reply, const TVantrelPacket& request) {
    Deliver([this, device, reply, request](Shared& shared) {
        if (!Devices.Contains(device.get()))
            return;
        if (auto handler = shared.Get(&Shared::onReply))
            handler(this, device.get(), reply.Data, reply.Command, request);
    });
}

void TVantrelThread::DeliverTimeout(const std::shared_ptr<TVantrelDevice>& device,
                                    const TVantrelPacket& packet) {
    Deliver([this, device, packet](Shared& shared) {
        if (!Devices.Contains(device.get()))
            return;
        if (auto handler = shared.Get(&Shared::onTimeout))
            handler(this, device.get(), packet);
    });
}

void TVantrelThread::HandleMessage(TVantrelPacket& message) {
    struct Answer {
        std::uint8_t data = 0;
        char command = 0;
    };
    auto answer = std::make_shared<Answer>();
    answer->command = message.Command;
    const TVantrelPacket copy = message;
    Deliver([this, answer, copy](Shared& shared) {
        if (auto handler = shared.Get(&Shared::onMessage))
            handler(this, copy, answer->data, answer->command);
    });
    message.Command = answer->command;
    message.Data = QByteArray(1, char(answer->data));
}

void TVantrelThread::Execute() {
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->cv.wait_for(lock, std::chrono::milliseconds(m_startDelayMs),
                              [&] { return m_shared->startNow || m_shared->stopping; });
        if (m_shared->stopping)
            return;
    }
    SetTimeouts(Timeouts{});
    m_loopRunning = true;
    try {
        Loop();
    } catch (const std::exception& e) {
        LogError(ClassNameOf(e) + u':' + MessageOf(e));
    }
    m_loopRunning = false;
}

void TVantrelThread::Loop() {
    std::array<char, 2 * kMaxFrame> buffer{};
    int count = 0;
    int expected = kMinFrame;
    std::unique_ptr<TVantrelPacket> current;
    std::uint8_t sequence = 0;

    while (!Stopping()) {
        ClearError();
        QThread::yieldCurrentThread();

        if (!current) {
            Choice choice = NextPacket(sequence);
            if (choice.packet) {
                current = std::move(choice.packet);
                ++sequence;
            }
            if (choice.timedOutDevice)
                DeliverTimeout(choice.timedOutDevice, *choice.timedOut);
        }
        if (current) {
            WriteString(current->Frame());
            if (LogEnabled && m_packetLog)
                m_packetLog(QStringLiteral("TX:"), *current);
            current.reset();
        }

        const int n = ReadBytes(buffer.data() + count, expected);
        if (n < 0) {
            // The line is gone; turning on would only spin. The owner closes the port.
            const QString text = QStringLiteral("TVantrelThread:the port failed");
            LogError(text);
            Deliver([this](Shared& s) {
                if (auto handler = s.Get(&Shared::onPortLost))
                    handler(this, QStringLiteral("the port failed"));
            });
            return;
        }
        count += n;
        expected -= n;
        if (expected > 0)
            continue;

        // Resynchronise on the first start mark.
        const void* mark = std::memchr(buffer.data(), '*', size_t(count));
        if (!mark) {
            count = 0;
        } else if (const int p = int(static_cast<const char*>(mark) - buffer.data()); p > 0) {
            std::memmove(buffer.data(), buffer.data() + p, size_t(count - p));
            count -= p;
        }
        if (count < kMinFrame) {
            expected = kMinFrame - count;
            continue;
        }
        const int frameLength = std::uint8_t(buffer[4]) + kMinFrame;
        if (frameLength > count) {
            expected = frameLength - count;
            continue;
        }
        // Bytes held beyond this frame stay for the next pass.
        expected = 0;
        auto* bytes = reinterpret_cast<std::uint8_t*>(buffer.data());
        if (Crc16(bytes + 1, frameLength - 3, 2) != 1) {
            buffer[0] = 0;
            if (LogEnabled && m_textLog)
                m_textLog(QStringLiteral("CRC Failed"));
            continue;
        }
        auto packet = std::make_unique<TVantrelPacket>();
        packet->Address = bytes[1];
        packet->Sequence = bytes[2];
        packet->Command = char(bytes[3]);
        packet->Data = QByteArray(buffer.data() + kHeader, frameLength - kMinFrame);
        std::memmove(buffer.data(), buffer.data() + frameLength, size_t(count - frameLength));
        count -= frameLength;

        if (packet->Command == kReplyAccepted || packet->Command == kReplyRefused) {
            if (LogEnabled && m_packetLog)
                m_packetLog(QStringLiteral("RX Reply:"), *packet);
            DispatchReply(*packet);
            continue;
        }
        if (LogEnabled && m_packetLog)
            m_packetLog(QStringLiteral("RX Message:"), *packet);
        if (int(packet->Sequence) != m_lastMessageSequence.load())
            HandleMessage(*packet);
        m_lastMessageSequence = packet->Sequence;
        if (packet->Command != kReplyAccepted && packet->Command != kReplyRefused)
            packet->Command = kReplyRefused;
        packet->List = nullptr;
        current = std::move(packet);
    }
}

} // namespace lobrana::devices
