#pragma once

#include "monitor/ServerAlerts.h"

// Where the monitor's notifications go.
class Notifier
{
public:
    virtual ~Notifier() = default;
    virtual void notify(const Notification& notification) = 0;
};

// The desktop's notification service (org.freedesktop.Notifications) on the
// session bus. Sends without waiting for an answer; without a session bus it
// stays silent, and a bus without the service answers with an error that is
// dropped, so nothing fails and nothing is printed.
class DBusNotifier : public Notifier
{
public:
    DBusNotifier();
    void notify(const Notification& notification) override;

private:
    bool connected_ = false;
};
