#include "monitor/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace
{

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

// The urgency hint's levels.
constexpr uchar NormalUrgency = 1;
constexpr uchar CriticalUrgency = 2;

} // namespace

DBusNotifier::DBusNotifier() : connected_(QDBusConnection::sessionBus().isConnected()) {}

void DBusNotifier::notify(const Notification& notification)
{
    if (!connected_)
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Service, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue(notification.urgent ? CriticalUrgency : NormalUrgency));
    call << QStringLiteral("VEMO") << 0u
         << (notification.urgent ? QStringLiteral("dialog-warning")
                                 : QStringLiteral("dialog-information"))
         << notification.summary << notification.body << QStringList() << hints << -1;
    QDBusConnection::sessionBus().send(call);
}
