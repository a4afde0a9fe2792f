#pragma once

#include <QString>
#include <utility>

// What a store operation met. Errors are values: callers decide what to show.
enum class StoreError {
    None,
    NoCurrentRecord, // no record at the view's position (an empty table, a failed lookup)
    DuplicateKey,    // the save would give two servers the same domain
    Locked,          // another program holds the file locked; worth trying again later
    Failed,          // anything else; the message says what
};

struct StoreStatus {
    StoreError error = StoreError::None;
    QString message;

    bool ok() const { return error == StoreError::None; }
    static StoreStatus success() { return {}; }
    static StoreStatus failure(StoreError error, QString message)
    {
        return {error, std::move(message)};
    }
};
