#pragma once

#include <QDateTime>

#include <functional>

// Date-time numbers: days since 30 December 1899 as a double; the fraction is the time of day.
// They are what records, files and stored values carry.
namespace DateTimeNumber {

double FromDateTime(const QDateTime& dt);
QDateTime ToDateTime(double number);
double FromDate(QDate date);
QDate ToDate(double number);
// Only the time of day (0 <= value < 1).
double FromTime(QTime time);
QTime ToTime(double number);

} // namespace DateTimeNumber

// The engine's clock. Everything that needs "now" asks here, so tests can set the time.
namespace TClock {

QDateTime Now();
double NowNumber();
// Replaces the clock; an empty function restores the system clock.
void SetSource(std::function<QDateTime()> source);

} // namespace TClock
