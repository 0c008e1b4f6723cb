#pragma once

// Where the service's applications and sites come from and where the
// user's decisions go: the demo traffic, or the machine's own applications
// measured and shaped in the kernel (linux/linuxbackend.h).

#include "traffic.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace demo {

class Backend {
public:
    virtual ~Backend() = default;

    // Prioritisation on or off and the limits (kbit/s, 0 = none), applied at
    // once. False with the reason in @p error when that failed.
    virtual bool setPolicy(bool active, std::uint32_t downLimit, std::uint32_t upLimit, std::string& error) = 0;

    // One tick: the speeds of the last interval, arrivals and departures.
    virtual void step() = 0;

    // The user's priority and pin for an application or site.
    virtual void setChoice(std::uint32_t id, bool site, std::uint32_t priority, bool pinned) = 0;

    virtual std::vector<Flow>& flows() = 0;
    // The adapter's speeds, kbit/s (parameters 6 and 5).
    virtual std::uint32_t totalDown() const = 0;
    virtual std::uint32_t totalUp() const = 0;
};

// The demo traffic (an empty set with --no-demo), shared by priority under the limits.
class DemoBackend : public Backend {
public:
    explicit DemoBackend(std::unique_ptr<TrafficModel> model) : m_model(std::move(model)) {}

    bool setPolicy(bool active, std::uint32_t downLimit, std::uint32_t upLimit, std::string&) override
    {
        m_active = active, m_down = downLimit, m_up = upLimit;
        return apply(), true;
    }
    void step() override
    {
        if (m_model)
            m_model->step();
        apply();
    }
    void setChoice(std::uint32_t id, bool site, std::uint32_t priority, bool pinned) override
    {
        if (Flow* flow = m_model ? m_model->find(id, site) : nullptr)
            flow->priority = priority, flow->pinned = pinned;
    }
    std::vector<Flow>& flows() override { return m_model ? m_model->flows() : m_none; }
    std::uint32_t totalDown() const override { return m_model ? m_model->totalDown() : 0; }
    std::uint32_t totalUp() const override { return m_model ? m_model->totalUp() : 0; }

private:
    void apply()
    {
        if (m_model)
            m_model->applyLimits(m_active, m_down, m_up);
    }

    std::unique_ptr<TrafficModel> m_model;
    std::vector<Flow> m_none;
    bool m_active = true;
    std::uint32_t m_down = 0, m_up = 0;
};

} // namespace demo
