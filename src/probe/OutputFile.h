#pragma once

#include <QString>

// What a client left in its output file.
struct OutputRead {
    bool hasText = false; // false: the file was missing, empty or unreadable
    QString text;         // up to the first CR (or CR LF) or the end, LFs kept
};

// Reads an output file and deletes it, whatever the outcome.
OutputRead readOutputFile(const QString& fileName);
