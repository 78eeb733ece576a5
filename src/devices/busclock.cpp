#include "devices/busclock.h"

#include <QDateTime>

namespace lobrana::devices {

qint64 TSystemClock::NowMs() const {
    return QDateTime::currentMSecsSinceEpoch();
}

TSystemClock* TSystemClock::Instance() {
    static TSystemClock clock;
    return &clock;
}

} // namespace lobrana::devices
