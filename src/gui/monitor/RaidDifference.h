#pragma once

#include <QString>

// The RAID_Status stored when the first RAID text read was not accepted.
extern const QString RaidDirtyMarker;

// How a newly read RAID text differs from the accepted one, line by line, for
// the details of the question that offers to accept it: "  " marks a line
// both have, "- " one only the accepted text has, "+ " one only the new text has.
QString raidDifference(const QString& reference, const QString& text);
