#include "devices/modifiedhuffman.h"

#include <array>
#include <string_view>
#include <unordered_map>

namespace lobrana::devices {

namespace {

constexpr int kMaxWidth = 1728;

// Terminating codes 0..63, then make-up codes 64..1728 in steps of 64.
constexpr std::array<std::string_view, 91> kWhite = {
    "00110101", "000111", "0111", "1000", "1011", "1100", "1110", "1111", "10011", "10100", "00111",
    "01000", "001000", "000011", "110100", "110101", "101010", "101011", "0100111", "0001100",
    "0001000", "0010111", "0000011", "0000100", "0101000", "0101011", "0010011", "0100100",
    "0011000", "00000010", "00000011", "00011010", "00011011", "00010010", "00010011", "00010100",
    "00010101", "00010110", "00010111", "00101000", "00101001", "00101010", "00101011", "00101100",
    "00101101", "00000100", "00000101", "00001010", "00001011", "01010010", "01010011", "01010100",
    "01010101", "00100100", "00100101", "01011000", "01011001", "01011010", "01011011", "01001010",
    "01001011", "00110010", "00110011", "00110100",
    // make-up
    "11011", "10010", "010111", "0110111", "00110110", "00110111", "01100100", "01100101",
    "01101000", "01100111", "011001100", "011001101", "011010010", "011010011", "011010100",
    "011010101", "011010110", "011010111", "011011000", "011011001", "011011010", "011011011",
    "010011000", "010011001", "010011010", "011000", "010011011"};

constexpr std::array<std::string_view, 91> kBlack = {
    "0000110111", "010", "11", "10", "011", "0011", "0010", "00011", "000101", "000100", "0000100",
    "0000101", "0000111", "00000100", "00000111", "000011000", "0000010111", "0000011000",
    "0000001000", "00001100111", "00001101000", "00001101100", "00000110111", "00000101000",
    "00000010111", "00000011000", "000011001010", "000011001011", "000011001100", "000011001101",
    "000001101000", "000001101001", "000001101010", "000001101011", "000011010010", "000011010011",
    "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
    "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
    "000001100100", "000001100101", "000001010010", "000001010011", "000000100100", "000000110111",
    "000000111000", "000000100111", "000000101000", "000001011000", "000001011001", "000000101011",
    "000000101100", "000001011010", "000001100110", "000001100111",
    // make-up
    "0000001111", "000011001000", "000011001001", "000001011011", "000000110011", "000000110100",
    "000000110101", "0000001101100", "0000001101101", "0000001001010", "0000001001011",
    "0000001001100", "0000001001101", "0000001110010", "0000001110011", "0000001110100",
    "0000001110101", "0000001110110", "0000001110111", "0000001010010", "0000001010011",
    "0000001010100", "0000001010101", "0000001011010", "0000001011011", "0000001100100",
    "0000001100101"};

struct Code {
    std::uint32_t bits = 0;
    int length = 0;
};

int RunOfIndex(int index) {
    return index < 64 ? index : (index - 63) * 64;
}

struct Tables {
    std::array<Code, 91> code[2];                     // [black][index]
    std::unordered_map<std::uint32_t, int> lookup[2]; // (length << 16 | bits) -> run
    Tables() {
        for (int colour = 0; colour < 2; ++colour) {
            const auto& source = colour ? kBlack : kWhite;
            for (int i = 0; i < 91; ++i) {
                Code c;
                for (char ch : source[size_t(i)])
                    c.bits = (c.bits << 1) | (ch == '1' ? 1u : 0u);
                c.length = int(source[size_t(i)].size());
                code[colour][size_t(i)] = c;
                lookup[colour][std::uint32_t(c.length) << 16 | c.bits] = RunOfIndex(i);
            }
        }
    }
};

const Tables& GetTables() {
    static const Tables tables;
    return tables;
}

class BitWriter {
public:
    BitWriter(QByteArray& out, int limit, bool dle) : m_out(out), m_limit(limit), m_dle(dle) {}
    void Put(std::uint32_t bits, int length) {
        m_acc = (m_acc << length) | bits;
        m_held += length;
        while (m_held >= 8) {
            m_held -= 8;
            Byte(std::uint8_t(m_acc >> m_held));
        }
        m_acc &= (std::uint64_t(1) << m_held) - 1;
    }
    int Held() const { return m_held; }
    void Flush() {
        if (m_held > 0)
            Put(0, 8 - m_held);
    }
    void Raw(std::uint8_t b) { Store(b); }
    int Count() const { return m_count; }

private:
    void Byte(std::uint8_t b) {
        if (m_dle && b == 0x10)
            Store(b);
        Store(b);
    }
    void Store(std::uint8_t b) {
        if (m_count < m_limit)
            m_out.append(char(b));
        ++m_count;
    }
    QByteArray& m_out;
    int m_limit;
    bool m_dle;
    std::uint64_t m_acc = 0;
    int m_held = 0;
    int m_count = 0;
};

void PutRun(BitWriter& w, int colour, int run) {
    const auto& codes = GetTables().code[colour];
    while (run >= 64) {
        const int makeup = std::min(run, kMaxWidth) & ~63;
        const Code& c = codes[size_t(63 + makeup / 64)];
        w.Put(c.bits, c.length);
        run -= makeup;
    }
    const Code& c = codes[size_t(run)];
    w.Put(c.bits, c.length);
}

} // namespace

int EncodeG3(const TMhBitmap& bitmap, int limit, QByteArray& buffer, int options, int lineCount) {
    if (bitmap.width <= 0 || bitmap.height < 0 || !bitmap.data ||
        bitmap.stride * 8 < bitmap.width || lineCount < 0 || limit < 0)
        return -1;
    const int width = std::min(bitmap.width, kMaxWidth);
    const int lines = lineCount == 0 ? bitmap.height : std::min(lineCount, bitmap.height);
    buffer.clear();
    BitWriter w(buffer, limit, options & mhDleFraming);
    for (int y = 0; y < lines; ++y) {
        const std::uint8_t* row = bitmap.data + qsizetype(y) * bitmap.stride;
        int colour = 0; // 0 white, 1 black
        int run = 0;
        for (int x = 0; x < width; ++x) {
            const bool set = (row[x >> 3] >> (7 - (x & 7))) & 1;
            const int pixel = (set == bitmap.setBitIsWhite) ? 0 : 1;
            if (pixel != colour) {
                PutRun(w, colour, run);
                run = 0;
                colour = pixel;
            }
            ++run;
        }
        if (!((options & mhOmitLastWhite) && colour == 0))
            PutRun(w, colour, run);
        const int held = w.Held();
        const int n = held + 13 <= 16 ? 16 - held : 24 - held;
        w.Put(1, n);
    }
    w.Flush();
    if (options & mhDleFraming) {
        w.Raw(0x10);
        w.Raw(0x03);
    }
    return w.Count();
}

TDleResult UnframeDle(QByteArrayView data) {
    TDleResult result;
    result.code.reserve(data.size());
    for (qsizetype i = 0; i < data.size(); ++i) {
        const auto b = std::uint8_t(data[i]);
        if (b != 0x10) {
            result.code.append(char(b));
            continue;
        }
        if (i + 1 >= data.size()) {
            result.malformed = true;
            break;
        }
        const auto next = std::uint8_t(data[++i]);
        if (next == 0x10) {
            result.code.append(char(0x10));
        } else if (next == 0x03) {
            result.terminated = true;
            result.consumed = i + 1;
            return result;
        } else {
            result.malformed = true;
            result.code.append(char(next));
        }
    }
    result.consumed = data.size();
    return result;
}

namespace {

class BitReader {
public:
    explicit BitReader(QByteArrayView data) : m_data(data) {}
    qsizetype Left() const { return m_data.size() * 8 - m_pos; }
    int Bit(qsizetype at) const { return (std::uint8_t(m_data[at >> 3]) >> (7 - (at & 7))) & 1; }
    int Next() { return Bit(m_pos++); }
    // Zero bits from the current position (stops at the end of data).
    int ZerosAhead(int cap) const {
        int n = 0;
        while (n < cap && m_pos + n < m_data.size() * 8 && Bit(m_pos + n) == 0)
            ++n;
        return n;
    }
    void Skip(qsizetype n) { m_pos += n; }

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

void Fill(TMhImage& image, int y, int from, int to) {
    char* row = image.bits.data() + qsizetype(y) * image.Stride();
    for (int x = from; x < to; ++x)
        row[x >> 3] = char(std::uint8_t(row[x >> 3]) | (0x80 >> (x & 7)));
}

} // namespace

TMhImage DecodeMH(QByteArrayView code, int width, int maxLines) {
    TMhImage image;
    image.width = std::max(width, 0);
    if (width <= 0) {
        image.error = QStringLiteral("invalid width");
        return image;
    }
    const Tables& tables = GetTables();
    BitReader reader(code);
    while (maxLines == 0 || image.height < maxLines) {
        if (reader.ZerosAhead(int(std::min<qsizetype>(reader.Left(), 1 << 30))) == reader.Left())
            break; // only the closing fill is left
        image.bits.append(QByteArray(image.Stride(), '\0'));
        const int y = image.height++;
        int x = 0;
        int colour = 0;
        bool lineDone = false;
        while (!lineDone) {
            const int zeros = reader.ZerosAhead(32);
            if (zeros >= 8) {
                // Fill and end of line: at least 11 zeros, then a one.
                if (zeros < 11 || reader.Left() <= zeros) {
                    image.error = QStringLiteral("broken end of line in line %1").arg(y);
                    return image;
                }
                reader.Skip(zeros + 1);
                if (x < width && colour == 1)
                    ++image.badLines; // a white run was coded last; the line stops short
                lineDone = true;
                break;
            }
            std::uint32_t bits = 0;
            int run = -1;
            for (int length = 1; length <= 13 && reader.Left() > 0; ++length) {
                bits = (bits << 1) | std::uint32_t(reader.Next());
                const auto it = tables.lookup[colour].find(std::uint32_t(length) << 16 | bits);
                if (it != tables.lookup[colour].end()) {
                    run = it->second;
                    break;
                }
            }
            if (run < 0) {
                image.error = QStringLiteral("invalid code in line %1").arg(y);
                return image;
            }
            const int end = std::min(x + run, width);
            if (x + run > width)
                ++image.badLines; // counted once per overlong run
            if (colour == 1)
                Fill(image, y, x, end);
            x = end;
            if (run < 64)
                colour ^= 1;
        }
    }
    return image;
}

} // namespace lobrana::devices
