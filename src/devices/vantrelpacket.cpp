#include "devices/vantrelpacket.h"

#include "devices/crc16.h"
#include "devices/serialport.h"

namespace lobrana::devices {

QByteArray TVantrelPacket::Frame() const {
    const QByteArray body = Data.left(kMaxPacketData);
    QByteArray frame;
    frame.reserve(body.size() + 7);
    frame.append('*');
    frame.append(char(Address));
    frame.append(char(Sequence));
    frame.append(Command);
    frame.append(char(body.size()));
    frame.append(body);
    frame.append(2, '\0');
    Crc16(reinterpret_cast<std::uint8_t*>(frame.data()) + 1, int(body.size()) + 4, 1);
    return frame;
}

void TVantrelPacketList::Append(std::unique_ptr<TVantrelPacket> packet) {
    auto lock = Lock();
    packet->List = this;
    m_items.push_back(std::move(packet));
}

std::unique_ptr<TVantrelPacket> TVantrelPacketList::TakeFirst() {
    auto lock = Lock();
    if (m_items.empty())
        return nullptr;
    auto packet = std::move(m_items.front());
    m_items.pop_front();
    return packet;
}

std::unique_ptr<TVantrelPacket> TVantrelPacketList::CopyFirstAndRotate(TVantrelPacketList* owner) {
    auto lock = Lock();
    if (m_items.empty())
        return nullptr;
    auto copy = std::make_unique<TVantrelPacket>(*m_items.front());
    copy->List = owner;
    auto head = std::move(m_items.front());
    m_items.pop_front();
    m_items.push_back(std::move(head));
    return copy;
}

void TVantrelPacketList::RemoveCommand(char command) {
    auto lock = Lock();
    for (auto i = m_items.size(); i-- > 0;)
        if (m_items[i]->Command == command)
            m_items.erase(m_items.begin() + qsizetype(i));
}

int TVantrelPacketList::Count() const {
    auto lock = Lock();
    return int(m_items.size());
}

QList<QByteArray> TVantrelPacketList::DataOf(char command) const {
    auto lock = Lock();
    QList<QByteArray> result;
    for (const auto& p : m_items)
        if (p->Command == command)
            result.append(p->Data);
    return result;
}

TVantrelDevice::TVantrelDevice(std::uint8_t address, int period)
    : Address(address), Period(period), Queue(this), CyclicQueue(this) {}

TVantrelDevice::~TVantrelDevice() = default;

void TVantrelDevice::Add(TVantrelPacketList& list, char command, const QByteArray& data,
                         bool replace) {
    if (data.size() > kMaxPacketData && replace)
        throw EComError(
            QStringLiteral("Ilegal combination (Data Length %1 and cache").arg(data.size()),
            QStringLiteral("Exception"));
    auto lock = Queue.Lock();
    auto listLock = list.Lock();
    if (replace)
        list.RemoveCommand(command);
    qsizetype offset = 0;
    do {
        auto packet = std::make_unique<TVantrelPacket>();
        packet->Address = Address;
        packet->Command = command;
        packet->Data = data.mid(offset, kMaxPacketData);
        list.Append(std::move(packet));
        offset += kMaxPacketData;
    } while (offset < data.size());
}

void TVantrelDevice::AddPacket(char command, const QByteArray& data, bool replace) {
    Add(Queue, command, data, replace);
}

void TVantrelDevice::AddCyclicPacket(char command, const QByteArray& data, bool replace) {
    Add(CyclicQueue, command, data, replace);
    auto lock = Queue.Lock();
    LastSent = 0;
}

bool TVantrelDevice::HasPending() const {
    auto lock = Queue.Lock();
    return m_pending != nullptr;
}

std::optional<TVantrelPacket> TVantrelDevice::PendingCopy() const {
    auto lock = Queue.Lock();
    if (!m_pending)
        return std::nullopt;
    return *m_pending;
}

TVantrelChoice TVantrelDevice::NextPacket(std::uint8_t sequence, qint64 now) {
    TVantrelChoice choice;
    auto lock = Queue.Lock();
    auto cyclicLock = CyclicQueue.Lock();
    if (m_pending) {
        if (now - LastSent <= ReplyTimeout)
            return choice;
        ++m_pending->Tries;
    } else if (auto next = Queue.TakeFirst()) {
        m_pending = std::move(next);
    } else if (now - LastSent > Period && !CyclicQueue.IsEmpty()) {
        m_pending = CyclicQueue.CopyFirstAndRotate(&Queue);
    } else {
        return choice;
    }
    LastSent = now;
    m_pending->Sequence = sequence;
    choice.transmission = std::make_unique<TVantrelPacket>(*m_pending);
    choice.transmission->List = nullptr;
    if (m_pending->Tries == MaxTries)
        choice.timedOut = *m_pending;
    return choice;
}

std::unique_ptr<TVantrelPacket> TVantrelDevice::MatchReply(const TVantrelPacket& reply) {
    auto lock = Queue.Lock();
    if (!m_pending || reply.Address != Address || reply.Sequence != m_pending->Sequence)
        return nullptr;
    return std::move(m_pending);
}

std::shared_ptr<TVantrelDevice> TVantrelDeviceList::AddDevice(std::uint8_t address, int period) {
    auto device = std::make_shared<TVantrelDevice>(address, period);
    auto lock = Lock();
    m_items.push_back(device);
    return device;
}

bool TVantrelDeviceList::RemoveDevice(const TVantrelDevice* device) {
    auto lock = Lock();
    for (auto it = m_items.begin(); it != m_items.end(); ++it)
        if (it->get() == device) {
            m_items.erase(it);
            return true;
        }
    return false;
}

bool TVantrelDeviceList::Contains(const TVantrelDevice* device) const {
    auto lock = Lock();
    for (const auto& d : m_items)
        if (d.get() == device)
            return true;
    return false;
}

int TVantrelDeviceList::Count() const {
    auto lock = Lock();
    return int(m_items.size());
}

std::shared_ptr<TVantrelDevice> TVantrelDeviceList::At(int index) const {
    auto lock = Lock();
    if (index < 0 || index >= int(m_items.size()))
        return nullptr;
    return m_items[size_t(index)];
}

} // namespace lobrana::devices
