#include "meter.h"

#include <algorithm>
#include <cmath>

namespace linuxbackend {

std::uint64_t counterDelta(std::uint64_t previous, std::uint64_t now)
{
    return now >= previous ? now - previous : now;
}

std::uint32_t kbitPerSecond(std::uint64_t bytes, double seconds)
{
    if (!(seconds > 0))
        return 0;
    const double kbit = std::round(static_cast<double>(bytes) * 8.0 / 1000.0 / seconds);
    return static_cast<std::uint32_t>(std::min(kbit, 4294967295.0));
}

std::uint32_t SpeedMeter::read(std::uint32_t key, std::uint64_t counter, double seconds)
{
    std::uint64_t& last = m_last[key];
    const std::uint64_t delta = counterDelta(last, counter);
    last = counter;
    return kbitPerSecond(delta, seconds);
}

ClassRates classRates(std::uint32_t limit, bool prioritised, bool fairLeaves)
{
    // HTB wants a rate above zero; 8 kbit/s is the least a class keeps.
    constexpr std::uint32_t kLeast = 8;
    ClassRates rates;
    rates.ceil = std::max(limit, 4 * kLeast);
    static const std::uint32_t shares[4] = {60, 25, 10, 5};
    for (std::uint32_t i = 0; i < 4; ++i) {
        std::uint64_t share = std::uint64_t(rates.ceil) * shares[i] / 100;
        if (!prioritised)
            share = fairLeaves ? (i == 2 ? rates.ceil - 3 * kLeast : 0) : rates.ceil / 4;
        rates.rate[i] = static_cast<std::uint32_t>(std::max<std::uint64_t>(share, kLeast));
        rates.prio[i] = prioritised ? i : 0;
    }
    return rates;
}

} // namespace linuxbackend
