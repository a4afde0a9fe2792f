#pragma once

#include "history/HistoryRules.h"
#include "store/StoreStatus.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

struct sqlite3;

// A problem the administrator knows of: no notifications for the server
// while it lasts, and the tray counts it apart.
struct Acknowledgement {
    QString domain;
    qint64 since = 0;
    std::optional<qint64> until; // ends by itself then, if not earlier
    QString comment;
    bool operator==(const Acknowledgement&) const = default;
};

// The history tables of a servers file, for the one program that writes
// them (the monitor window). Writes are queued and go in one transaction at
// flush(); a file locked by another program keeps them queued for the next
// flush, so a lock never stalls the window and nothing is lost. A file
// without the tables gets them at the first flush.
class HistoryStore
{
public:
    explicit HistoryStore(const QString& fileName);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // What a new run carries on from: each server's last state per aspect and
    // the acknowledgements in force. A file without the tables has none.
    struct Loaded {
        QHash<QString, ServerPast> past;
        QHash<QString, Acknowledgement> acknowledgements;
    };
    StoreStatus load(Loaded* loaded);

    void append(const HistoryEvent& event);
    void saveAcknowledgement(const Acknowledgement& acknowledgement);
    void removeAcknowledgement(const QString& domain);
    // The run that started at started was watching until now.
    void markObserved(qint64 started, qint64 now);
    // Drops what happened before the time.
    void prune(qint64 before);

    StoreStatus flush();
    qsizetype queued() const { return queue_.size(); }

    // A server's changes since a time, oldest first, with the one before it
    // (the state the time began in), and the times the monitor watched.
    StoreStatus read(const QString& domain, qint64 since, QList<HistoryEvent>* events,
                     QList<ObservedSpan>* observed);

private:
    StoreStatus ensureOpen();
    StoreStatus failure(int rc) const;

    struct Write {
        const char* sql;
        QVariantList values;
    };
    QString fileName_;
    sqlite3* db_ = nullptr;
    QList<Write> queue_;
};
