#pragma once

#include <QByteArrayView>

#include <cstdint>

namespace lobrana::devices {

// CRC-16/MODBUS (reflected 0xA001, initial 0xFFFF, no final XOR).
std::uint16_t Crc16(QByteArrayView data);

// The bus form: runs the CRC over `length` bytes of `buffer`.
//   mode 0: returns the CRC;
//   mode 1: also stores it behind the covered range, high byte first, and returns it;
//   mode 2: returns 1 when the two bytes behind the range hold it (high byte first), else 0.
// Modes 1 and 2 need two bytes of room behind the range.
std::uint16_t Crc16(std::uint8_t* buffer, int length, int mode);

} // namespace lobrana::devices
