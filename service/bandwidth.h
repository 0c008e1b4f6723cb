#pragma once

// Shares a speed limit among applications by priority level.

#include <cstdint>
#include <vector>

namespace demo {

// What one application would like to send or receive, in kbit/s.
struct Demand {
    std::uint32_t priority = 4;   // 1 critical .. 4 low
    std::uint32_t wanted = 0;
};

// Weight of a priority level in the share: each level counts twice the next.
std::uint32_t priorityWeight(std::uint32_t priority);

// What each demand gets under @p limit (kbit/s, 0 = no limit). Weighted
// water-filling: every unsatisfied demand gets a share of what is left in
// proportion to its weight, and what a satisfied demand does not use goes to
// the others. The result never exceeds a demand nor, summed, the limit.
std::vector<std::uint32_t> shareBandwidth(const std::vector<Demand>& demands, std::uint32_t limit);

} // namespace demo
