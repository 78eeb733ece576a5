#include "engine/datetime.h"

#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;

std::function<QDateTime()>& ClockSource() {
    static std::function<QDateTime()> source;
    return source;
}

} // namespace

namespace DateTimeNumber {

double FromDate(QDate date) {
    return date.isValid() ? double(kEpoch.daysTo(date)) : 0.0;
}

QDate ToDate(double number) {
    if (!std::isfinite(number))
        return kEpoch;
    return kEpoch.addDays(qint64(std::floor(number)));
}

double FromTime(QTime time) {
    return time.isValid() ? time.msecsSinceStartOfDay() / kMsPerDay : 0.0;
}

QTime ToTime(double number) {
    if (!std::isfinite(number))
        return QTime(0, 0);
    double fraction = number - std::floor(number);
    qint64 ms = qint64(std::llround(fraction * kMsPerDay));
    if (ms >= qint64(kMsPerDay))
        ms = qint64(kMsPerDay) - 1;
    return QTime::fromMSecsSinceStartOfDay(int(ms));
}

double FromDateTime(const QDateTime& dt) {
    if (!dt.isValid())
        return 0.0;
    return FromDate(dt.date()) + FromTime(dt.time());
}

QDateTime ToDateTime(double number) {
    if (!std::isfinite(number))
        return QDateTime(kEpoch, QTime(0, 0));
    // Round to the millisecond first so that 0.99999999 of a day does not land a day early.
    qint64 totalMs = qint64(std::llround(number * kMsPerDay));
    qint64 days = totalMs >= 0 ? totalMs / qint64(kMsPerDay)
                               : -((-totalMs + qint64(kMsPerDay) - 1) / qint64(kMsPerDay));
    qint64 ms = totalMs - days * qint64(kMsPerDay);
    return QDateTime(kEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

} // namespace DateTimeNumber

namespace TClock {

QDateTime Now() {
    auto& source = ClockSource();
    return source ? source() : QDateTime::currentDateTime();
}

double NowNumber() {
    return DateTimeNumber::FromDateTime(Now());
}

void SetSource(std::function<QDateTime()> source) {
    ClockSource() = std::move(source);
}

} // namespace TClock
