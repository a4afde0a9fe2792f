#pragma once

// Check clients that need the CPU at once. Measured on 2 cores with
// bench_monitor --sweep: refused runs finished soonest at 8 at once (such a
// run is pure CPU, more at once only adds contention).
inline constexpr int DefaultBusyPlaces = 8;
// Check clients at once, those waiting on the network included: a client
// holds about 4 MB and three descriptors, so this bounds memory and open
// files while a dead site's silent hosts wait out their deadline. The
// open-file limit may lower it further; a caller may set its own.
inline constexpr int DefaultMaxClients = 256;
