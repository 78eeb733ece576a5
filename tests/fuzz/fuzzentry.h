#pragma once

#include <cstddef>
#include <cstdint>

// One input for the station message fuzzers: cut and run as commands against a live engine
// with queues and buttons, and read as operator-side state messages. Aborts on a broken
// contract; returns 0.
int LobranaFuzzOne(const uint8_t* data, size_t size);
