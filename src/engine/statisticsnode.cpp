#include "engine/statisticsnode.h"

#include "engine/candidate.h"
#include "engine/datetime.h"
#include "engine/durablefile.h"
#include "engine/helpers.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

struct TPrecision {
    double Z;
    double Phi;
};

// z and the normal distribution's Φ(z) of the precision indices 1-11.
constexpr TPrecision Precisions[11] = {
    {0.2, 0.57926},  {0.4, 0.655422}, {0.6, 0.725747}, {0.8, 0.788145},
    {1.0, 0.841345}, {1.25, 0.89435}, {1.5, 0.933193}, {1.75, 0.959941},
    {2.0, 0.97725},  {2.5, 0.99379},  {3.0, 0.99865},
};

const TPrecision& PrecisionAt(int precision) {
    return Precisions[std::clamp(precision, 1, 11) - 1];
}

// Wraps like the stored 32-bit counters instead of overflowing.
qint32 Wrap(qint64 value) {
    return qint32(quint32(quint64(value)));
}

void PutAcc(char* p, const TAccumulator& a) {
    qToLittleEndian<qint32>(a.N, p);
    qToLittleEndian<qint32>(a.Sum, p + 4);
    qToLittleEndian<qint32>(a.SumSquares, p + 8);
}

TAccumulator GetAcc(const char* p) {
    return {qFromLittleEndian<qint32>(p), qFromLittleEndian<qint32>(p + 4),
            qFromLittleEndian<qint32>(p + 8)};
}

double Today() {
    return DateTimeNumber::FromDate(TClock::Now().date());
}

} // namespace

void TAccumulator::Add(qint32 value) {
    N = Wrap(qint64(N) + 1);
    Sum = Wrap(qint64(Sum) + value);
    SumSquares = Wrap(qint64(SumSquares) + qint64(value) * value);
}

QByteArray TStatisticsBlock::ToBytes() const {
    QByteArray out(Size, '\0');
    for (int k = 0; k < 8; ++k) {
        char* p = out.data() + 8 + EntrySize * k;
        const TStatisticsEntry& e = Entries[size_t(k)];
        PutAcc(p, e.Waiting);
        PutAcc(p + 12, e.DailyDone);
        PutAcc(p + 24, e.Duration);
        quint64 bits;
        std::memcpy(&bits, &e.DayDate, sizeof bits);
        qToLittleEndian<quint64>(bits, p + 36);
        qToLittleEndian<qint32>(e.DayCount, p + 44);
    }
    return out;
}

TStatisticsBlock TStatisticsBlock::FromBytes(const QByteArray& bytes) {
    QByteArray full = bytes.left(Size);
    const qsizetype have = full.size();
    full.resize(Size, '\0');
    TStatisticsBlock block;
    for (int k = 0; k < 8; ++k) {
        const qsizetype at = 8 + EntrySize * k;
        if (at >= have)
            break;
        const char* p = full.constData() + at;
        TStatisticsEntry& e = block.Entries[size_t(k)];
        e.Waiting = GetAcc(p);
        e.DailyDone = GetAcc(p + 12);
        e.Duration = GetAcc(p + 24);
        quint64 bits = qFromLittleEndian<quint64>(p + 36);
        std::memcpy(&e.DayDate, &bits, sizeof bits);
        e.DayCount = qFromLittleEndian<qint32>(p + 44);
    }
    return block;
}

TStatisticsNode::TStatisticsNode(TSetupTree* tree, TSetupNode* parent) : TSetupNode(tree, parent) {
    Caption = u"Statistika"_s;
    TitleText = u"doby odbavení a statistika"_s;
    KeyName = u"Statistics"_s;
    EditorClass = u"TSetupStatistics"_s;
    Editable = true;
    ReadFile();
}

QString TStatisticsNode::FileName() const {
    QString stem = Parent ? Parent->KeyName : QString();
    return AbsoluteFromProgram(u"Queue number "_s + stem + u".stat"_s);
}

void TStatisticsNode::ReadFile() {
    bool ok = false;
    QByteArray bytes = ReadWholeFile(FileName(), &ok);
    Block = ok ? TStatisticsBlock::FromBytes(bytes) : TStatisticsBlock{};
}

bool TStatisticsNode::WriteFile() const {
    return WriteFileDurably(FileName(), Block.ToBytes());
}

int TStatisticsNode::WeekDay() {
    return TClock::Now().date().dayOfWeek();
}

void TStatisticsNode::Record(const TCandidate& candidate) {
    const size_t a = size_t(std::clamp(WeekDay(), 1, 7));
    TStatisticsEntry& all = Block.Entries[0];
    TStatisticsEntry& day = Block.Entries[a];
    if (candidate.State == TCandidate::Waiting) {
        all.Waiting.Add(candidate.FirstPosition);
        day.Waiting.Add(candidate.FirstPosition);
    } else if (candidate.IsFinished()) {
        all.DayCount = Wrap(qint64(all.DayCount) + 1);
        const double today = Today();
        if (today != day.DayDate) {
            if (day.DayDate > 0) {
                all.DailyDone.Add(day.DayCount);
                day.DailyDone.Add(day.DayCount);
            }
            day.DayDate = today;
            day.DayCount = 0;
        }
        day.DayCount = Wrap(qint64(day.DayCount) + 1);
    }
    WriteFile();
    if (Changed)
        Changed();
}

void TStatisticsNode::Clear() {
    Block = TStatisticsBlock{};
    WriteFile();
    if (Changed)
        Changed();
}

double TStatisticsNode::PrecisionZ(int precision) {
    return PrecisionAt(precision).Z;
}

int TStatisticsNode::PrecisionPercent(int precision) {
    return int(std::lround((PrecisionAt(precision).Phi - 0.5) * 200));
}

QString TStatisticsNode::RangeText(const TAccumulator& acc, int precision) {
    if (acc.N == 0)
        return {};
    if (acc.N == 1)
        return QString::number(acc.Sum);
    const double n = acc.N;
    const double mean = acc.Sum / n;
    // Counters that do not fit together (edited or wrapped) give no negative variance.
    const double variance = std::max(0.0, acc.SumSquares / n - mean * mean);
    const double d = std::sqrt(variance) * PrecisionZ(precision);
    // Halves go to the even integer.
    auto nearest = [](double v) {
        return std::isfinite(v) && std::fabs(v) < 1e15 ? QString::number(qint64(std::nearbyint(v)))
                                                       : QString();
    };
    return nearest(mean - d) + u'-' + nearest(mean + d);
}
