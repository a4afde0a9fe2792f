#pragma once

#include <QByteArray>
#include <QString>

// The most a client's answer may hold: far above any status answer. A longer
// answer ends its client and counts as none.
inline constexpr qsizetype AnswerLimit = 1024 * 1024;
// Why a check whose answer passed AnswerLimit gives no verdict.
inline const QString AnswerTooLargeReason = QStringLiteral("answered more than 1 MiB");

// What a client left in its output file.
struct OutputRead {
    bool hasText = false; // false: the file was missing, empty or unreadable
    QString text;         // up to the first CR (or CR LF) or the end, LFs kept
};

// What a client's standard output reads as: one read up to the first CR (a
// CR LF pair starts with one) or the end, LFs kept, decoded as UTF-8. No
// bytes read as no text.
OutputRead outputFromBytes(const QByteArray& bytes);

// Reads an output file, its first AnswerLimit bytes at most, and deletes it,
// whatever the outcome. A name that does
// not stand for one file directly inside the working directory (see
// outputFileNameProblem) is neither read nor deleted and reads as no text.
// The file's bytes read as outputFromBytes says.
OutputRead readOutputFile(const QString& fileName);

// Creates (or empties) the output file fileName in the working directory for a
// client's standard output and returns its descriptor, close-on-exec, or why
// it cannot ("cannot create the temp file "~karu~x.tmp" in /home/ann:
// Permission denied"). A symbolic link in the file's place is not followed.
struct CreatedOutput {
    int fd = -1;
    QString problem; // empty on success
};
CreatedOutput createOutputFile(const QString& fileName);

// A message when no temp file can be created in the working directory, else empty.
QString outputFolderProblem();
