#pragma once

#include <QtGlobal>

namespace lobrana::devices {

// The bus master's millisecond clock; tests drive their own.
class IMillisecondClock {
public:
    virtual ~IMillisecondClock() = default;
    virtual qint64 NowMs() const = 0;
};

// Milliseconds since the epoch, in UTC.
class TSystemClock final : public IMillisecondClock {
public:
    qint64 NowMs() const override;
    static TSystemClock* Instance();
};

} // namespace lobrana::devices
