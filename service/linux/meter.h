#pragma once

// Speeds from the kernel's byte counters, and the rates of the shaper's classes.

#include <cstdint>
#include <map>

namespace linuxbackend {

// The bytes counted since @p previous: a counter below its last reading was
// reset (its element re-created, its table reloaded) and counts from zero.
std::uint64_t counterDelta(std::uint64_t previous, std::uint64_t now);

// Bytes over @p seconds in kbit/s, as the link carries speeds (rounded, at
// most 2^32 - 1; 0 for a non-positive interval).
std::uint32_t kbitPerSecond(std::uint64_t bytes, double seconds);

// Per key, the last reading of a counter; each reading gives the speed since
// the one before. A key read for the first time counts from zero.
class SpeedMeter {
public:
    std::uint32_t read(std::uint32_t key, std::uint64_t counter, double seconds);

private:
    std::map<std::uint32_t, std::uint64_t> m_last;
};

// The guaranteed rates (kbit/s) and priorities of the four classes critical,
// high, normal, low under a limit, each allowed to borrow up to the limit.
// Prioritised: 60/25/10/5 % of the limit in strict priority. Not
// prioritised: with fair leaves (fq_codel) the normal class holds the limit
// and every application shares it; without them the four classes hold a
// quarter each at one priority, and applications are spread over them.
struct ClassRates {
    std::uint32_t rate[4] = {};
    std::uint32_t prio[4] = {};
    std::uint32_t ceil = 0;
};
ClassRates classRates(std::uint32_t limit, bool prioritised, bool fairLeaves);

} // namespace linuxbackend
