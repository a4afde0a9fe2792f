#pragma once

#include <QString>
#include <optional>

// The private key the monitor's clients log in with where no SSH agent holds
// one: named with --key FILE and kept in vemo.conf in the working folder, so
// that later starts (the desktop launcher's) use it too; --key "" forgets it.
namespace KeySetting
{

inline constexpr char FileName[] = "vemo.conf";

struct Choice {
    QString keyFile;      // absolute; empty: none
    QString problem;      // what to tell the user; empty when all is well
    bool refused = false; // the key given with --key cannot be used: the start ends
};

// given: the value of --key when the switch was given.
Choice choose(const std::optional<QString>& given);

} // namespace KeySetting
