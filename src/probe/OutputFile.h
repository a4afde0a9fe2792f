#pragma once

#include <QString>

// What a client left in its output file.
struct OutputRead {
    bool hasText = false; // false: the file was missing, empty or unreadable
    QString text;         // up to the first CR (or CR LF) or the end, LFs kept
};

// Reads an output file and deletes it, whatever the outcome. A name that does
// not stand for one file directly inside the working directory (see
// outputFileNameProblem) is neither read nor deleted and reads as no text.
// The bytes up to the first CR are decoded as UTF-8.
OutputRead readOutputFile(const QString& fileName);
