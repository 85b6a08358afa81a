#include "platform/system_clock.h"

#include <QDateTime>

namespace tobrisk {

LocalTime SystemClock::Now() {
  QDateTime now = QDateTime::currentDateTime();
  bool ok = false;
  const qint64 epoch = qEnvironmentVariable("SOURCE_DATE_EPOCH").toLongLong(&ok);
  if (ok) now = QDateTime::fromSecsSinceEpoch(epoch).toLocalTime();
  const QDate d = now.date();
  const QTime t = now.time();
  return LocalTime{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

}  // namespace tobrisk
