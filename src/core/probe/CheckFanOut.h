#pragma once

// How many check clients run at once by default. The open-file limit may
// lower it further; a caller may set its own. Measured on 2 cores with
// bench_monitor --sweep: refused runs finished soonest at 8 at once (each
// run is pure CPU, more at once only adds contention), runs against
// loopback SSH servers gained little beyond it.
inline constexpr int DefaultCheckFanOut = 8;
