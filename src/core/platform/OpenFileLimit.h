#pragma once

#include "probe/CheckFanOut.h"

#include <algorithm>
#include <sys/resource.h>

// A starting client holds three descriptors of ours (its pipes and handle),
// and a cycle starts one per server at once.
inline constexpr int DescriptorsPerClient = 3;
// Descriptors kept for everything else: the display, the database, files.
inline constexpr int DescriptorsReserved = 64;

// Lifts the soft cap on open files to the hard limit.
inline bool raiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return false;
    if (limit.rlim_cur == limit.rlim_max)
        return true;
    limit.rlim_cur = limit.rlim_max;
    return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

// How many clients may run at once within the open-file limit; checks beyond
// that wait for a place instead of failing to start.
inline int clientsWithinOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 0; // no bound
    const auto room = static_cast<long long>(limit.rlim_cur) - DescriptorsReserved;
    return int(std::clamp(room / DescriptorsPerClient, 8LL, 1000000LL));
}

// How many check clients run at once: the number wanted (by default
// DefaultMaxClients), or fewer when the open-file limit leaves less room.
inline int checkFanOut(int wanted = DefaultMaxClients)
{
    const int cap = clientsWithinOpenFileLimit();
    return cap > 0 ? std::min(wanted, cap) : wanted;
}
