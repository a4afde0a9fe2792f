#pragma once

#include <QtGlobal>
#include <chrono>
#include <optional>

// What the kernel says of a process's use of the CPU (/proc/PID/stat).
struct ProcessCpu {
    std::chrono::milliseconds cpu{0}; // user and system time so far
    bool runnable = false;            // state R: running or waiting for a core
};

// None when the process is gone or cannot be read.
std::optional<ProcessCpu> readProcessCpu(qint64 pid);
