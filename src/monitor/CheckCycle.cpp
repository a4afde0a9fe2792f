#include "monitor/CheckCycle.h"

#include "monitor/CheckServerFrm.h"

#include <QTimer>

CheckCycle::CheckCycle(int maxRunning, QObject* parent) : QObject(parent), maxRunning_(maxRunning)
{
}

void CheckCycle::add(CheckServerFrm* check)
{
    check->setParent(this);
    waiting_.append(check);
    startWaiting();
}

void CheckCycle::checkStarted(CheckServerFrm*)
{
    --armed_;
    ++running_;
}

void CheckCycle::checkEnded(CheckServerFrm*)
{
    --running_;
    startWaiting();
}

void CheckCycle::startWaiting()
{
    while (!waiting_.isEmpty() && (maxRunning_ <= 0 || armed_ + running_ < maxRunning_)) {
        QPointer<CheckServerFrm> check = waiting_.takeFirst();
        if (!check)
            continue;
        ++armed_;
        check->Timer1->start();
    }
}
