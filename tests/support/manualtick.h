#pragma once

// A millisecond tick the test moves by hand, for the link's tick source.

#include <cstdint>

struct ManualTick {
    std::uint32_t now = 0;
    static std::uint32_t read(void* context) { return static_cast<ManualTick*>(context)->now; }
};
