// The clock: local date and time, or the fixed moment SOURCE_DATE_EPOCH names
// (seconds since the epoch, shown in local time) when that variable is set.
#pragma once

#include "core/ports/clock.h"

namespace tobrisk {

class SystemClock final : public Clock {
 public:
  LocalTime Now() override;
};

}  // namespace tobrisk
