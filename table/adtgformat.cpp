#include "adtgformat.h"

#include <cmath>

namespace adtg {

double toOleDate(const QDateTime& value)
{
    const qint64 days = value.date().toJulianDay() - OleEpochJulianDay;
    const double fraction = double(value.time().msecsSinceStartOfDay()) / double(MsecsPerDay);
    return days >= 0 ? double(days) + fraction : double(days) - fraction;
}

std::optional<QDateTime> fromOleDate(double value)
{
    if (!std::isfinite(value) || value < OleDateMin || value >= OleDateMax)
        return std::nullopt;
    const double whole = std::trunc(value);
    qint64 msecs = qint64(std::llround(std::fabs(value - whole) * double(MsecsPerDay)));
    QDate date = QDate::fromJulianDay(OleEpochJulianDay + qint64(whole));
    if (msecs >= MsecsPerDay) {
        date = date.addDays(1);
        msecs -= MsecsPerDay;
    }
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(msecs)));
}

} // namespace adtg
