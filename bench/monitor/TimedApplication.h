#pragma once

#include <QApplication>
#include <QString>

// An application that times each event its own thread delivers from the
// event loop (nested deliveries count in the outer one), in CPU of that
// thread, and keeps the costliest since the last reset: which event, to what.
// It tells what held the window's thread when a turn was long.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override;

    void resetLongest();
    double longestCpuMs() const { return longestNs_ / 1e6; }
    const QString& longestEvent() const { return longestEvent_; }
    // When it began and ended, on CLOCK_MONOTONIC.
    qint64 longestAtNs() const { return longestAtNs_; }
    qint64 longestEndNs() const { return longestEndNs_; }

    static TimedApplication* instance() { return static_cast<TimedApplication*>(qApp); }

private:
    int depth_ = 0;
    qint64 longestNs_ = 0;
    qint64 longestAtNs_ = 0, longestEndNs_ = 0;
    QString longestEvent_;
};
