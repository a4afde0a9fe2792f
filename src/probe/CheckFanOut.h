#pragma once

// How many check clients run at once by default. The open-file limit may
// lower it further; a caller may set its own.
inline constexpr int DefaultCheckFanOut = 16;
