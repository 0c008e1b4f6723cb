#pragma once

// The demo traffic: a deterministic set of applications and sites whose
// speeds change every second, with bursts, idle spells and the occasional
// application coming or going.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace demo {

struct Flow {
    std::uint32_t id = 0;
    std::size_t profile = 0;   // which behaviour it was made from
    std::string name;
    bool site = false;
    std::uint32_t processClass = 0;   // non-zero for system applications
    std::uint32_t priority = 4;
    bool pinned = false;
    std::string iconPath;

    // Behaviour.
    double typicalDown = 0;   // kbit/s while active
    double typicalUp = 0;
    double activity = 0.5;    // share of the time it is active
    int phase = 0;            // 0 idle, 1 active, 2 burst
    int phaseLeft = 0;        // seconds left in a burst

    // What it would use this second, and what it got.
    std::uint32_t wantedDown = 0;
    std::uint32_t wantedUp = 0;
    std::uint32_t down = 0;
    std::uint32_t up = 0;
};

struct TrafficSettings {
    std::uint64_t seed = 1;
    int apps = 24;
    int sites = 8;
    bool churn = false;
};

class TrafficModel {
public:
    explicit TrafficModel(const TrafficSettings& settings);

    // Advances one second: phases, wanted speeds, arrivals and departures.
    void step();

    // Grants the wanted speeds within the limits (kbit/s, 0 = none): shared
    // by priority while prioritisation is on, in equal weights while it is off.
    void applyLimits(bool prioritisation, std::uint32_t downLimit, std::uint32_t upLimit);

    const std::vector<Flow>& flows() const { return m_flows; }
    std::vector<Flow>& flows() { return m_flows; }
    Flow* find(std::uint32_t id, bool site);

    std::uint32_t totalDown() const;
    std::uint32_t totalUp() const;

private:
    Flow makeFlow(std::size_t profile, bool site);
    void wantedFor(Flow& flow);
    double uniform(double from, double to);
    bool chance(double probability);

    TrafficSettings m_settings;
    std::mt19937_64 m_random;
    std::vector<Flow> m_flows;
    std::vector<std::size_t> m_absentProfiles;   // applications that may arrive
    std::uint32_t m_nextAppId = 1;
    std::uint32_t m_nextSiteId = 1;
};

} // namespace demo
