#include "models/speedsamples.h"

#include <algorithm>
#include <cmath>

namespace {

// From here on the chart counts in Gbit/s (at 100 Mbit/s, not at 1000).
constexpr double kGigabitsFrom = 100.0;
constexpr int kMegabitsPerGigabit = 1000;

} // namespace

SpeedSamples::SpeedSamples(QObject* parent) : QObject(parent)
{
    m_samples.fill(kIdle);
    // The weight of position i (0 oldest) is (1/3)(2/3)^(14 - i): the newest
    // second counts most, and together they add up to just under 1.
    for (int i = 0; i < kCount; ++i)
        m_weights[i] = (1.0 / 3.0) * std::pow(2.0 / 3.0, kCount - 1 - i);
    recompute();
}

void SpeedSamples::add(double mbps)
{
    std::rotate(m_samples.begin(), m_samples.begin() + 1, m_samples.end());
    m_samples.back() = std::isfinite(mbps) && mbps != 0 ? mbps : kIdle;
    recompute();
    emit changed();
}

double SpeedSamples::niceAxisMaximum(double x)
{
    int divisions = 0;
    while (x >= 10) {
        x /= 10;
        ++divisions;
    }
    double maximum = x < 1 ? 1 : x < 2 ? 2 : x < 5 ? 5 : 10;
    for (int i = 0; i < divisions; ++i)
        maximum *= 10;
    return maximum;
}

void SpeedSamples::recompute()
{
    const double largest = *std::max_element(m_samples.begin(), m_samples.end());
    double average = 0;
    for (int i = 0; i < kCount; ++i)
        average += m_samples[i] * m_weights[i];

    // The published maximum and average stay in Mbit/s; the rate displays
    // divide them by the divider.
    m_maxValue = QString::number(largest, 'f', 1);
    m_roundedValue = QString::number(average, 'f', 1);
    m_divider = largest >= kGigabitsFrom ? kMegabitsPerGigabit : 1;
    m_axisMaximum = niceAxisMaximum(largest / m_divider);
    m_bars.clear();
    for (double sample : m_samples)
        m_bars.append(std::max(sample / m_divider, kIdle));
}
