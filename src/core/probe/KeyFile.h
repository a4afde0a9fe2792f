#pragma once

#include <QString>
#include <optional>

// A private key that hidden clients can log in with: PuTTY's own format
// (.ppk), readable, and without a passphrase, since no prompt can reach a
// client that runs hidden. An agent holds the keys that have one.

// Why the key file at path cannot be used, in a sentence that names the
// path and says what to do; nothing when it can.
std::optional<QString> keyFileProblem(const QString& path);
