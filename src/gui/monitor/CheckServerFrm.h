#pragma once

#include "probe/ServerCheck.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class CheckCycle;
class Main;
class QTimer;
struct RunResult;

// One server check: probes the server of one grid row and writes that row's
// verdicts. Not a window; it lives for one check and then deletes itself.
// The row number arrives as the caption ("1" for the first data row).
class CheckServerFrm : public QObject
{
    Q_OBJECT
public:
    // Why a row goes offline when its server was removed from the file.
    static const QString NotInTableReason;

    CheckServerFrm(Main& main, CheckCycle& cycle);

    QString caption() const { return caption_; }
    void setCaption(const QString& caption) { caption_ = caption; }

    // One shot, 1 ms, stopped until the cycle starts it.
    QTimer* Timer1;

    void Timer1_Timer();
    // Starts the check; it goes on when the client ends.
    void CheckMyServer();

    // Made and waiting for its timer: not started yet.
    bool armed() const;
    // A check waiting for a locked file goes offline now, as one whose
    // client was ended would.
    void stopWaitingForLock();

private:
    void readRecordAndRun();
    void clientEnded(const RunResult& result);
    void giveOffline(const QString& reason);
    void giveVerdicts(const CheckVerdict& verdict);
    void finish();

    Main& main_;
    CheckCycle& cycle_;
    QString caption_ = QStringLiteral("Form1");
    int row_ = 0;
    QString domain_;
    QString raidStatus_;
    CheckVerdict verdict_;
    bool stopped_ = false; // its client was ended before it answered
    QElapsedTimer waitingForLock_;
    QTimer* lockRetry_;
};
