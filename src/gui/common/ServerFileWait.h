#pragma once

#include "store/StoreStatus.h"

#include <QString>

// Opens the servers file for the check at program start. While another
// program holds it locked, a message says so and the file is tried again
// from the event loop until the lock is gone (the message then closes by
// itself) or the user gives up, which returns the Locked status.
StoreStatus openServerFileWaitingForLock(const QString& fileName, const QString& title);
