#pragma once

#include <QByteArray>
#include <QString>

// A short reason for a failed client run, read from what the client wrote on
// standard error ("Connection refused", "Access denied", "host key not yet
// trusted", ...). Empty when a client that exited normally with status 0
// said nothing that marks a failure.
QString clientFailureReason(const QString& program, const QByteArray& standardError, int exitCode,
                            bool crashed);
