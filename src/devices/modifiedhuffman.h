#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace lobrana::devices {

// The one-dimensional run-length code of T.4 (Modified Huffman) as the print box's printer takes
// it: every line ends with an end-of-line code whose final 1 is the last bit of a byte, and the
// last white run of a line may be left out.

// A two-colour bitmap read by the coder: packed rows, leftmost pixel in the most significant bit.
struct TMhBitmap {
    int width = 0;
    int height = 0;
    int stride = 0; // bytes per row
    const std::uint8_t* data = nullptr;
    bool setBitIsWhite = true; // the ticket image's convention
};

enum TMhOptions : int {
    mhOmitLastWhite = 1, // the last white run of a line is not coded
    mhDleFraming = 2,    // 0x10 doubled, 0x10 0x03 appended
};

// Codes lines 0..lineCount-1 (all lines when lineCount is 0, never more than the bitmap has)
// into `buffer`, storing at most `limit` bytes. Returns the length the whole code needs (which
// may exceed `limit`), or -1 when the bitmap cannot be coded.
int EncodeG3(const TMhBitmap& bitmap, int limit, QByteArray& buffer, int options, int lineCount);

// Print data back to the coded lines: doubled 0x10 undone, everything up to 0x10 0x03.
struct TDleResult {
    QByteArray code;
    bool terminated = false; // 0x10 0x03 was found
    bool malformed = false;  // a 0x10 followed by something else than 0x10 or 0x03
    qsizetype consumed = 0;  // bytes of the input up to and including 0x10 0x03
};
TDleResult UnframeDle(QByteArrayView data);

// Decoded lines: packed rows, leftmost pixel in the most significant bit, a set bit is black.
struct TMhImage {
    int width = 0;
    int height = 0;
    QByteArray bits;
    int badLines = 0; // lines whose code did not fit the width (filled with white)
    QString error;    // first fault met; empty when the code was sound
    bool Black(int x, int y) const {
        return (std::uint8_t(bits[y * Stride() + x / 8]) >> (7 - x % 8)) & 1;
    }
    int Stride() const { return (width + 7) / 8; }
};

// Decodes coded lines of `width` pixels until the code ends or `maxLines` lines were read
// (0: no limit). A line that ends early is completed with white; malformed code stops the
// decoding with `error` set and keeps the lines decoded so far.
TMhImage DecodeMH(QByteArrayView code, int width, int maxLines = 0);

} // namespace lobrana::devices
