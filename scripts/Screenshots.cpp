// Draws the maintenance window and the add/edit dialog with sample servers
// and saves them as PNG files: screenshots <output folder>.

#include "MaintenanceSupport.h"

#include "maintenance/AddServer.h"
#include "maintenance/ServerMain.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace
{

bool save(QWidget& widget, const QString& path)
{
    QTest::qWait(200);
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path()) ||
        !addServers({serverRecord("mail.quillfern.test", "127.0.0.1", "2222", "sample"),
                     serverRecord("backup.quillfern.test", "", "", "sample"),
                     serverRecord("db1.quillfern.test", "127.0.0.2", "22", "sample"),
                     serverRecord("web.quillfern.test", "", "2200", "sample")}))
        return 1;

    ServerMain window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    auto* list = window.findChild<QListWidget*>(QStringLiteral("ServersSpeedList"));
    const QList<QListWidgetItem*> items =
        list->findItems(QStringLiteral("mail.quillfern.test"), Qt::MatchExactly);
    if (items.isEmpty())
        return 1;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(items.first()).center());
    if (!save(window, out + QStringLiteral("/maintenance.png")))
        return 1;

    QLabel selected;
    AddServer dialog(&selected);
    dialog.beginAdd();
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return 1;
    typeEntries(dialog, "files.quillfern.test", {}, "2222", "sample");
    return save(dialog, out + QStringLiteral("/addserver.png")) ? 0 : 1;
}
