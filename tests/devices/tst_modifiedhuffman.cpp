// The print data coder and decoder, and the decoder checked against libtiff's Group 3 decoder.
#include "devices/modifiedhuffman.h"
#include "tiffreference.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace lobrana::devices;

namespace {

// A bitmap in the ticket's convention (a set bit is white), built from rows of '#' and '.'.
struct Picture {
    int width = 0;
    int height = 0;
    QByteArray bits; // set bit white

    Picture(int w, int h) : width(w), height(h), bits(qsizetype((w + 7) / 8) * h, char(0xFF)) {}
    int Stride() const { return (width + 7) / 8; }
    void SetBlack(int x, int y) {
        bits[y * Stride() + x / 8] =
            char(std::uint8_t(bits[y * Stride() + x / 8]) & ~(0x80 >> (x % 8)));
    }
    bool Black(int x, int y) const {
        return !((std::uint8_t(bits[y * Stride() + x / 8]) >> (7 - x % 8)) & 1);
    }
    void BlackRun(int y, int from, int length) {
        for (int x = from; x < from + length; ++x)
            SetBlack(x, y);
    }
    TMhBitmap View() const {
        return TMhBitmap{width, height, Stride(),
                         reinterpret_cast<const std::uint8_t*>(bits.constData()), true};
    }
};

QByteArray Encode(const Picture& p, int options, int lines = 0, int limit = 65535) {
    QByteArray out;
    const int n = EncodeG3(p.View(), limit, out, options, lines);
    if (n != out.size() && n <= limit)
        qWarning("count %d differs from stored %lld", n, qlonglong(out.size()));
    return out;
}

QString Bits(const QByteArray& bytes) {
    QString s;
    for (char c : bytes)
        s += QStringLiteral("%1").arg(std::uint8_t(c), 8, 2, QLatin1Char('0'));
    return s;
}

// Random lines with runs of random lengths, a fair share ending in black.
Picture RandomPicture(QRandomGenerator& random, int width, int height) {
    Picture p(width, height);
    for (int y = 0; y < height; ++y) {
        const int style = random.bounded(4);
        int x = 0;
        bool black = random.bounded(2);
        while (x < width) {
            const int maxRun = style == 0 ? 4 : style == 1 ? 70 : style == 2 ? 700 : width;
            const int run = std::min(width - x, 1 + int(random.bounded(maxRun)));
            if (black)
                p.BlackRun(y, x, run);
            x += run;
            black = !black;
        }
    }
    return p;
}

bool SameImage(const Picture& p, const QByteArray& blackRows, int lines, QString* where) {
    const int stride = p.Stride();
    for (int y = 0; y < lines; ++y)
        for (int x = 0; x < p.width; ++x) {
            const bool black = (std::uint8_t(blackRows[y * stride + x / 8]) >> (7 - x % 8)) & 1;
            if (black != p.Black(x, y)) {
                *where = QStringLiteral("pixel %1,%2").arg(x).arg(y);
                return false;
            }
        }
    return true;
}

} // namespace

class TestModifiedHuffman : public QObject {
    Q_OBJECT
private slots:
    void codesKnownLines_data();
    void codesKnownLines();
    void dleFraming();
    void limitCountsButDoesNotStore();
    void refusesBadBitmap();
    void decodesWhatItCodes();
    void decoderSurvivesBadInput_data();
    void decoderSurvivesBadInput();
    void unframesDle();
    void matchesLibtiff_data();
    void matchesLibtiff();
};

void TestModifiedHuffman::codesKnownLines_data() {
    QTest::addColumn<int>("blackFrom");
    QTest::addColumn<int>("blackLength");
    QTest::addColumn<QString>("expected"); // bits of the whole code of one 576-dot line

    // All white: the end-of-line code alone, byte aligned: 0x00 0x01.
    QTest::newRow("all white") << 0 << 0 << QStringLiteral("0000000000000001");
    // First pixel black: white 0 (00110101), then black 576 = make-up 576 + terminating 0.
    QTest::newRow("all black") << 0 << 576
                               << QStringLiteral("00110101"
                                                 "0000001101101"
                                                 "0000110111"
                                                 "0000000000000000"
                                                 "1");
    // The end-of-line code takes 1 to 8 fill zeros so that its 1 ends a byte.
    // A black run of exactly 64 after white 10, then the last white run left out.
    QTest::newRow("black 64") << 10 << 64
                              << QStringLiteral("00111"
                                                "0000001111"
                                                "0000110111"
                                                "00000000000000"
                                                "1");
    // A line ending in black codes its last run: white 570 = 512 + 58, black 6.
    QTest::newRow("ends black") << 570 << 6
                                << QStringLiteral("01100101"
                                                  "01011011"
                                                  "0010"
                                                  "0000000000000000000"
                                                  "1");
}

void TestModifiedHuffman::codesKnownLines() {
    QFETCH(int, blackFrom);
    QFETCH(int, blackLength);
    QFETCH(QString, expected);
    Picture p(576, 1);
    p.BlackRun(0, blackFrom, blackLength);
    const QByteArray code = Encode(p, mhOmitLastWhite);
    QCOMPARE(Bits(code), expected);
    QCOMPARE(expected.size() % 8, 0); // every line ends on a byte boundary
}

void TestModifiedHuffman::dleFraming() {
    // Three all-white lines: 00 01 three times, then DLE ETX.
    Picture white(576, 3);
    QCOMPARE(Encode(white, mhOmitLastWhite | mhDleFraming), QByteArray::fromHex("000100010001"
                                                                                "1003"));

    // A code that holds the byte 0x10 has it doubled, and the count includes the doubling.
    QRandomGenerator random(7);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const Picture p = RandomPicture(random, 576, 4);
        const QByteArray plain = Encode(p, mhOmitLastWhite);
        if (!plain.contains(char(0x10)))
            continue;
        const QByteArray framed = Encode(p, mhOmitLastWhite | mhDleFraming);
        QByteArray expected = plain;
        expected.replace(QByteArray(1, 0x10), QByteArray(2, 0x10));
        expected += QByteArray::fromHex("1003");
        QCOMPARE(framed, expected);
        QByteArray counted;
        QCOMPARE(EncodeG3(p.View(), 65535, counted, mhOmitLastWhite | mhDleFraming, 0),
                 int(expected.size()));
        return;
    }
    QFAIL("no code with a 0x10 byte found");
}

void TestModifiedHuffman::limitCountsButDoesNotStore() {
    Picture p(576, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = y % 2; x < 576; x += 2)
            p.SetBlack(x, y);
    QByteArray full;
    const int needed = EncodeG3(p.View(), 1 << 30, full, 3, 0);
    QByteArray cut;
    QCOMPARE(EncodeG3(p.View(), 100, cut, 3, 0), needed);
    QCOMPARE(cut.size(), 100);
    QCOMPARE(cut, full.left(100));
    // Only the requested lines are coded.
    QByteArray two;
    EncodeG3(p.View(), 65535, two, 1, 2);
    QCOMPARE(DecodeMH(two, 576).height, 2);
}

void TestModifiedHuffman::refusesBadBitmap() {
    QByteArray out;
    TMhBitmap none;
    QCOMPARE(EncodeG3(none, 65535, out, 3, 0), -1);
    const QByteArray row(8, '\0');
    TMhBitmap narrow{576, 1, 8, reinterpret_cast<const std::uint8_t*>(row.constData()), true};
    QCOMPARE(EncodeG3(narrow, 65535, out, 3, 0), -1); // rows shorter than the width
}

void TestModifiedHuffman::decodesWhatItCodes() {
    QRandomGenerator random(42);
    for (int width : {576, 1728, 37}) {
        const Picture p = RandomPicture(random, width, 60);
        for (int options : {0, int(mhOmitLastWhite)}) {
            const TMhImage image = DecodeMH(Encode(p, options), width);
            QVERIFY2(image.error.isEmpty(), qPrintable(image.error));
            QCOMPARE(image.height, 60);
            QCOMPARE(image.badLines, 0);
            QString where;
            QVERIFY2(SameImage(p, image.bits, 60, &where), qPrintable(where));
        }
    }
}

void TestModifiedHuffman::decoderSurvivesBadInput_data() {
    QTest::addColumn<QByteArray>("code");
    QTest::addColumn<int>("lines"); // lines kept
    QTest::addColumn<bool>("hasError");

    QTest::newRow("empty") << QByteArray() << 0 << false;
    QTest::newRow("two white lines") << QByteArray::fromHex("00010001") << 2 << false;
    // 0000 0001 1111 1111: eight zeros then a one: too few zeros for an end of line.
    QTest::newRow("short end of line") << QByteArray::fromHex("01ff") << 1 << true;
    QTest::newRow("cut inside a line") << QByteArray::fromHex("0001"
                                                              "35")
                                       << 2 << true;
    // A white run of 1728 + 1728 in a 576 line: clipped, counted as a bad line.
    QTest::newRow("too long") << QByteArray::fromHex("4d 36 a6 00 01") << 1 << false;
    QTest::newRow("all ones") << QByteArray(64, char(0xFF)) << 1 << true;
}

void TestModifiedHuffman::decoderSurvivesBadInput() {
    QFETCH(QByteArray, code);
    QFETCH(int, lines);
    QFETCH(bool, hasError);
    const TMhImage image = DecodeMH(code, 576);
    QCOMPARE(image.height, lines);
    QCOMPARE(!image.error.isEmpty(), hasError);
    QCOMPARE(image.bits.size(), qsizetype(lines) * 72);
}

void TestModifiedHuffman::unframesDle() {
    TDleResult r = UnframeDle(QByteArray::fromHex("01 10 10 02 10 03 ff"));
    QCOMPARE(r.code, QByteArray::fromHex("01 10 02"));
    QVERIFY(r.terminated);
    QVERIFY(!r.malformed);
    QCOMPARE(r.consumed, 6);
    r = UnframeDle(QByteArray::fromHex("01 10 05 02"));
    QVERIFY(r.malformed);
    QVERIFY(!r.terminated);
    r = UnframeDle(QByteArray::fromHex("01 10"));
    QVERIFY(r.malformed);
}

void TestModifiedHuffman::matchesLibtiff_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("options");
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 6; ++seed) {
        QTest::addRow("576 ticket form %u", seed) << 576 << int(mhOmitLastWhite) << seed;
        QTest::addRow("576 full lines %u", seed) << 576 << 0 << seed;
    }
    QTest::newRow("1728 ticket form") << 1728 << int(mhOmitLastWhite) << 99u;
    QTest::newRow("odd width") << 203 << int(mhOmitLastWhite) << 5u;
}

void TestModifiedHuffman::matchesLibtiff() {
    QFETCH(int, width);
    QFETCH(int, options);
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    const int lines = 50;
    Picture p = RandomPicture(random, width, lines);
    // Make sure the edge cases are in: all white, all black, first pixel black, long runs.
    p.BlackRun(1, 0, width);
    p.BlackRun(2, 0, 1);
    p.BlackRun(3, width - 1, 1);
    p.BlackRun(4, width / 2, width - width / 2);
    const QByteArray code = Encode(p, options);

    QString error;
    const QByteArray reference = DecodeWithLibtiff(code, width, lines, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QString where;
    QVERIFY2(SameImage(p, reference, lines, &where),
             qPrintable(QStringLiteral("libtiff: ") + where));

    const TMhImage ours = DecodeMH(code, width);
    QVERIFY2(ours.error.isEmpty(), qPrintable(ours.error));
    QCOMPARE(ours.height, lines);
    QCOMPARE(ours.bits, reference);
}

QTEST_GUILESS_MAIN(TestModifiedHuffman)
#include "tst_modifiedhuffman.moc"
