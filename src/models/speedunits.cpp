#include "models/speedunits.h"

#include <cmath>

namespace {

constexpr double kKbitsPerMbit = 1000.0;

// Qt's fixed notation rounds the exact binary value, as toFixed does: the
// scenes showed 1450 kbit/s as 1.4 before this class existed, and still do.
double rounded(double value, int decimals)
{
    return QString::number(value, 'f', decimals).toDouble();
}

} // namespace

SpeedUnits::SpeedUnits(QObject* parent) : QObject(parent) {}

double SpeedUnits::mbps(double kbps) const
{
    return kbps / kKbitsPerMbit;
}

QString SpeedUnits::mbpsText(double kbps, int decimals) const
{
    return QString::number(mbps(kbps), 'f', decimals);
}

double SpeedUnits::barValue(double kbps) const
{
    return rounded(mbps(kbps), 1);
}

double SpeedUnits::barMaximum(double kbps, double limitKbps, Direction direction, View view) const
{
    if (kbps > limitKbps)
        return barValue(kbps);
    if (direction == Upload && view == ListView)
        return wholeMbps(limitKbps);
    return barValue(limitKbps);
}

int SpeedUnits::wholeMbps(double kbps) const
{
    // Half up, as Math.round.
    return int(std::floor(mbps(kbps) + 0.5));
}

double SpeedUnits::kbpsOfWholeMbps(double mbps) const
{
    return std::floor(mbps + 0.5) * kKbitsPerMbit;
}
