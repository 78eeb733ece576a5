#pragma once

// Line settings of a serial descriptor through the kernel's termios2 interface, which carries any
// speed. Kept apart because its header clashes with <termios.h>.
namespace lobrana::devices::line {

bool MakeRaw(int fd);               // binary line: no echo, no line editing, no translation
int GetSpeed(int fd);               // bits per second, -1 on failure
bool SetSpeed(int fd, int speed);   // any speed, standard or not
bool SetDataBits(int fd, int bits); // 5..8
bool SetParity(int fd, int kind);   // 0 none, 1 odd, 2 even, 3 mark, 4 space
bool SetStopBits(int fd, int kind); // 0 one, 1 one and a half, 2 two
int GetDataBits(int fd);            // -1 on failure
int GetParity(int fd);              // -1 on failure
int GetStopBits(int fd);            // 0 one, 2 two (1.5 reads as 2), -1 on failure

} // namespace lobrana::devices::line
