#pragma once

#include "probe/Mdstat.h"
#include "probe/ProbeVerdicts.h"
#include "probe/ServerCheck.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The states of a monitoring plugin, numbered as its exit statuses.
enum class State { Ok = 0, Warning = 1, Critical = 2, Unknown = 3 };

// "OK", "WARNING", "CRITICAL", "UNKNOWN"
QString stateName(State state);

// "none", "ok", "warning", "critical"
QString levelName(Level level);

// One server's check as vemo-check reports it.
struct ServerResult {
    QString domain;
    CheckVerdict verdict;
    ProbeNumbers numbers;    // from the output; none when offline
    double seconds = 0;      // how long the check took
    bool unfinished = false; // the run's time ran out first: no verdict (reason says so)
    Mdstat md = {};          // the arrays of the RAID text; none when offline
};

// An unfinished check is UNKNOWN; else the state follows the cells' levels
// and the arrays' own (a degraded array or failed member is critical, a
// running rebuild a warning, whatever the reference): a critical one is
// CRITICAL, a warning WARNING, else OK.
State stateOf(const ServerResult& result);
// The worst state of all, where a CRITICAL found outweighs an UNKNOWN (what
// was learnt stands); UNKNOWN when there are none.
State worstState(const QList<ServerResult>& results);

// The three formats; each takes the results in the file's order.
QByteArray nagiosReport(const QList<ServerResult>& results);
// runEnded: when the run ended, in seconds since the epoch; complete: every
// server got its verdict.
QByteArray prometheusReport(const QList<ServerResult>& results, double runEnded, bool complete);
// What a run that checked nothing writes for Prometheus: that it failed, and when.
QByteArray prometheusFailure(double runEnded);
QByteArray jsonReport(const QList<ServerResult>& results);
