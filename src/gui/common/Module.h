#pragma once

// The program-wide state that the windows share. Only the user-interface
// thread touches it, so it needs no locking.
struct Module {
    bool busy = false;        // a check cycle runs
    bool quitPending = false; // a close was refused during a cycle
    int tickCounter = 0;      // ticks of the monitor timer since the last due tick
    bool raidRecheck = false; // a RAID re-check runs
    bool resizeGuard = false; // the monitor layout is running

    void reset() { *this = Module{}; }
};

Module& module();
