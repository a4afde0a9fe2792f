#pragma once

#include "probe/ProbeVerdicts.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What /proc/mdstat says of a server's software RAID, read as the kernel
// writes it (md.c's md_seq_show). Lines it does not know are skipped.

struct MdMember {
    QString name;  // "sdc1"
    int slot = -1; // the number in brackets
    bool failed = false, spare = false, writeMostly = false, journal = false,
         replacement = false; // (F), (S), (W), (J), (R)
    bool operator==(const MdMember&) const = default;
};

// A resync, recovery, check, repair or reshape, running or waiting.
struct MdSync {
    QString action;                      // "resync", "recovery", "check", "repair", "reshape"
    bool waiting = false;                // resync=DELAYED or resync=PENDING
    QString waitingFor;                  // "DELAYED", "PENDING"
    std::optional<double> percent;       // 3.6
    std::optional<qint64> done, total;   // (37888/1048512), in 1 KiB blocks
    std::optional<double> finishMinutes; // finish=260.3min
    QString speed;                       // "64K/sec"
    bool operator==(const MdSync&) const = default;
};

struct MdArray {
    QString name;  // "md0"
    QString state; // "active", "inactive", "read-only", "auto-read-only"
    QString level; // "raid5"; empty for an inactive array
    QList<MdMember> members;
    std::optional<int> required, active; // [3/2]
    QString map;                         // "UU_"
    std::optional<qint64> blocks;        // in 1 KiB blocks
    QString bitmap;                      // "0/15 pages [0KB], 65536KB chunk"
    std::optional<MdSync> sync;
    bool operator==(const MdArray&) const = default;

    QStringList failedMembers() const;
    int count(bool MdMember::*flag) const;
    // Fewer members in use than the level needs, or one that failed.
    bool degraded() const;
    // A resync, recovery or reshape that is running: the redundancy is not
    // whole until it ends. A check or repair only reads.
    bool rebuilding() const;
};

struct Mdstat {
    bool isMd = false;         // the text starts with "Personalities"
    QStringList personalities; // "raid1", ...
    QList<MdArray> arrays;
    QStringList unusedDevices;
    bool operator==(const Mdstat&) const = default;
};

Mdstat parseMdstat(const QString& text);

// One line per array on its health: "md0 raid5: 2 of 3 members, sdc1
// failed", "md2 raid1: 1 of 2 members, recovery 3.6%, about 4 h 20 min left";
// "no md arrays" when there are none.
QStringList mdSummary(const Mdstat& mdstat);
QString mdArraySummary(const MdArray& array);

// How serious the arrays' state is, whatever reference was accepted: a
// degraded array or a failed member is critical, a running rebuild a
// warning, else ok; none when there are no arrays.
Level mdLevel(const Mdstat& mdstat);
Level mdArrayLevel(const MdArray& array);
