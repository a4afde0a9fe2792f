#pragma once

#include "probe/ProbeVerdicts.h"

#include <optional>

struct Rgb {
    int red = 0, green = 0, blue = 0;
    bool operator==(const Rgb&) const = default;
};

namespace Colours
{
inline constexpr Rgb Yellow{255, 255, 0};
inline constexpr Rgb White{255, 255, 255};
inline constexpr Rgb Black{0, 0, 0};
inline constexpr Rgb Red{255, 0, 0};
} // namespace Colours

// The colours a cell takes for a level; where one is not given the cell
// keeps the one it has.
struct CellColours {
    std::optional<Rgb> back;
    std::optional<Rgb> fore;
    bool operator==(const CellColours&) const = default;
};

// Ok: black on white; warning: a yellow background; critical: white on red;
// none: no change.
constexpr CellColours cellColours(Level level)
{
    switch (level) {
    case Level::Ok:
        return {Colours::White, Colours::Black};
    case Level::Warning:
        return {Colours::Yellow, std::nullopt};
    case Level::Critical:
        return {Colours::Red, Colours::White};
    case Level::None:
        break;
    }
    return {};
}
