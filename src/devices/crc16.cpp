#include "devices/crc16.h"

#include <array>

namespace lobrana::devices {

namespace {

constexpr std::array<std::uint16_t, 256> MakeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001)
                            : static_cast<std::uint16_t>(crc >> 1);
        table[i] = crc;
    }
    return table;
}

constexpr auto kTable = MakeTable();

std::uint16_t Run(const std::uint8_t* p, qsizetype n) {
    std::uint16_t crc = 0xFFFF;
    for (qsizetype i = 0; i < n; ++i)
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ p[i]) & 0xFF]);
    return crc;
}

} // namespace

std::uint16_t Crc16(QByteArrayView data) {
    return Run(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

std::uint16_t Crc16(std::uint8_t* buffer, int length, int mode) {
    if (length < 0)
        length = 0;
    const std::uint16_t crc = Run(buffer, length);
    const auto hi = static_cast<std::uint8_t>(crc >> 8);
    const auto lo = static_cast<std::uint8_t>(crc & 0xFF);
    switch (mode) {
    case 1:
        buffer[length] = hi;
        buffer[length + 1] = lo;
        return crc;
    case 2:
        return (buffer[length] == hi && buffer[length + 1] == lo) ? 1 : 0;
    default:
        return crc;
    }
}

} // namespace lobrana::devices
