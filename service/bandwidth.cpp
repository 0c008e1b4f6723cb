#include "bandwidth.h"

#include <cmath>
#include <numeric>

namespace demo {

std::uint32_t priorityWeight(std::uint32_t priority)
{
    switch (priority) {
    case 1:
        return 8;
    case 2:
        return 4;
    case 3:
        return 2;
    default:
        return 1;
    }
}

std::vector<std::uint32_t> shareBandwidth(const std::vector<Demand>& demands, std::uint32_t limit)
{
    std::vector<std::uint32_t> granted(demands.size(), 0);
    std::uint64_t total = 0;
    for (const Demand& demand : demands)
        total += demand.wanted;
    if (limit == 0 || total <= limit) {
        for (std::size_t i = 0; i < demands.size(); ++i)
            granted[i] = demands[i].wanted;
        return granted;
    }

    std::vector<std::size_t> open;
    for (std::size_t i = 0; i < demands.size(); ++i) {
        if (demands[i].wanted > 0)
            open.push_back(i);
    }
    double left = limit;
    std::vector<double> share(demands.size(), 0.0);
    while (!open.empty() && left > 0) {
        double weights = 0;
        for (std::size_t i : open)
            weights += priorityWeight(demands[i].priority);
        std::vector<std::size_t> stillOpen;
        double handedOut = 0;
        bool anySatisfied = false;
        for (std::size_t i : open) {
            const double offer = left * priorityWeight(demands[i].priority) / weights;
            const double missing = demands[i].wanted - share[i];
            if (missing <= offer) {
                share[i] = demands[i].wanted;
                handedOut += missing;
                anySatisfied = true;
            } else {
                stillOpen.push_back(i);
            }
        }
        if (!anySatisfied) {
            // Nobody is satisfied: everyone takes the offered share, and the
            // limit is used up.
            for (std::size_t i : open)
                share[i] += left * priorityWeight(demands[i].priority) / weights;
            left = 0;
            break;
        }
        left -= handedOut;
        open.swap(stillOpen);
    }
    // Round down so that the sum stays within the limit.
    for (std::size_t i = 0; i < demands.size(); ++i)
        granted[i] = static_cast<std::uint32_t>(std::floor(share[i]));
    return granted;
}

} // namespace demo
