#pragma once

#include "engine/setupnode.h"

#include <QByteArray>

#include <array>
#include <functional>

class TCandidate;

// Count, sum and sum of squares of a series of values (signed 32-bit, as stored).
struct TAccumulator {
    qint32 N = 0;
    qint32 Sum = 0;
    qint32 SumSquares = 0;
    void Add(qint32 value);
    bool operator==(const TAccumulator&) const = default;
};

// One entry of the statistics block: all days (entry 0) or one day of the week (1-7).
struct TStatisticsEntry {
    TAccumulator Waiting;   // the position at arrival
    TAccumulator DailyDone; // candidates finished in one day
    TAccumulator Duration;  // "Jeden trvá"; nothing adds to it
    double DayDate = 0;     // the day being counted (whole days), 0 for none
    qint32 DayCount = 0;    // finished on DayDate; in entry 0 all since clearing
};

// The 392-byte block kept in the ".stat" file, read and written field by field.
struct TStatisticsBlock {
    static constexpr int Size = 392;
    static constexpr int EntrySize = 48;
    std::array<TStatisticsEntry, 8> Entries{};

    QByteArray ToBytes() const;
    // Reads as much as bytes holds; the rest stays zero.
    static TStatisticsBlock FromBytes(const QByteArray& bytes);
};

// "Statistika": how long the queue was at arrivals and how many candidates were finished per
// day, overall and per day of the week. Kept in "Queue number <key>.stat" in the program folder.
class TStatisticsNode : public TSetupNode {
public:
    TStatisticsNode(TSetupTree* tree, TSetupNode* parent);
    QString ClassName() const override { return QStringLiteral("TStatisticsNode"); }

    // Counts the candidate's arrival (state 0) or finish (states 7, 8) and writes the file.
    void Record(const TCandidate& candidate);
    // Zeroes the block and writes the file ("Vyčisti statistiky").
    void Clear();
    // Reads the file again (the block stays zero when it is missing).
    void ReadFile();
    bool WriteFile() const;
    QString FileName() const;

    // "lo-hi": mean ± z(precision) standard deviations; the sum for one value; empty for none.
    static QString RangeText(const TAccumulator& acc, int precision);
    // z of the precision index 1-11 (the index is kept inside that range).
    static double PrecisionZ(int precision);
    // The share of the normal distribution inside ±z, in whole percent ("68%").
    static int PrecisionPercent(int precision);
    // The first precision index whose z is at least 1.
    static constexpr int DefaultPrecision = 5;
    // 1 Monday to 7 Sunday, of the engine clock's date.
    static int WeekDay();

    TStatisticsBlock Block;
    // Called after every change of the block (the editor page refreshes while it shows it).
    std::function<void()> Changed;
};
