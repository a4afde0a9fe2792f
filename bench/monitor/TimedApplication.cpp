#include "TimedApplication.h"

#include <QEvent>
#include <QMetaEnum>
#include <QThread>

#include <time.h>

namespace
{
qint64 clockNs(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

QString describe(int eventType, const char* className, const QString& objectName)
{
    const char* type = QMetaEnum::fromType<QEvent::Type>().valueToKey(eventType);
    QString text = QStringLiteral("%1 to %2")
                       .arg(type ? QString::fromLatin1(type) : QString::number(eventType),
                            QString::fromLatin1(className));
    if (!objectName.isEmpty())
        text += QStringLiteral(" \"%1\"").arg(objectName);
    return text;
}
} // namespace

bool TimedApplication::notify(QObject* receiver, QEvent* event)
{
    if (depth_ > 0 || QThread::currentThread() != thread())
        return QApplication::notify(receiver, event);
    // Taken before delivery: the receiver and the event may be gone after it.
    const int type = event->type();
    const char* className = receiver->metaObject()->className();
    const QString objectName = receiver->objectName();
    const qint64 at = clockNs(CLOCK_MONOTONIC);
    const qint64 before = clockNs(CLOCK_THREAD_CPUTIME_ID);
    ++depth_;
    const bool handled = QApplication::notify(receiver, event);
    --depth_;
    const qint64 spent = clockNs(CLOCK_THREAD_CPUTIME_ID) - before;
    if (spent > longestNs_) {
        longestNs_ = spent;
        longestAtNs_ = at;
        longestEndNs_ = clockNs(CLOCK_MONOTONIC);
        longestEvent_ = describe(type, className, objectName);
    }
    return handled;
}

void TimedApplication::resetLongest()
{
    longestNs_ = longestAtNs_ = longestEndNs_ = 0;
    longestEvent_.clear();
}
