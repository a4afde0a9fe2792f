#pragma once

// Helpers shared by the monitor tests: the fixture every test starts from,
// records in the working folder's Servers.mdb and cell reads.

#include "app/Module.h"
#include "monitor/CheckServerFrm.h"
#include "monitor/Main.h"
#include "monitor/ServersGrid.h"
#include "probe/Runner.h"
#include "store/Servers.h"
#include "support/FixtureServers.h"
#include "support/ServerRecords.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTableWidget>
#include <QTest>

// What each monitor test starts from: the module state reset and fixture
// servers in their sandbox (HOME, PUTTYDIR, working folder). A test's cleanup
// closes its window, checks kit::clientsEnded() and then drops the fixture.
class MonitorFixture : public FixtureServers
{
public:
    MonitorFixture()
    {
        module().reset();
        QApplication::setQuitOnLastWindowClosed(false);
    }
    ~MonitorFixture() { module().reset(); }
};

namespace kit
{

enum Column { Server = 0, Status = 1, Uptime = 2, Raid = 3, Backup = 4 };

// True once no client of the runner runs any more.
inline bool clientsEnded()
{
    return QTest::qWaitFor([] { return Runner::instance().runningCount() == 0; }, 20000);
}

// Adds a record to Servers.mdb in the working folder; true when saved.
inline bool addRecord(const QString& domain, const QString& host, const QString& port,
                      const QString& password = QStringLiteral("pw"),
                      const QString& raidStatus = {})
{
    return addServers({serverRecord(domain, host, port, password, raidStatus)});
}

inline bool removeRecord(const QString& domain)
{
    Servers view;
    return view.FindFirst(domain) && view.Delete().ok();
}

inline QString raidStatusOf(const QString& domain)
{
    Servers view;
    return view.FindFirst(domain) ? view.RAID_Status() : QStringLiteral("<missing>");
}

inline QTableWidgetItem* cell(Main& main, int row, int col)
{
    return main.grid().widget()->item(row - 1, col);
}

inline QString text(Main& main, int row, int col)
{
    return main.grid().textMatrix(row, col);
}

// The cell's colour, or an invalid colour when it has none of its own.
inline QColor back(Main& main, int row, int col)
{
    const QBrush brush = cell(main, row, col)->background();
    return brush.style() == Qt::NoBrush ? QColor() : brush.color();
}

inline QColor fore(Main& main, int row, int col)
{
    const QBrush brush = cell(main, row, col)->foreground();
    return brush.style() == Qt::NoBrush ? QColor() : brush.color();
}

inline QAbstractButton* button(Main& main, const char* name)
{
    return main.findChild<QAbstractButton*>(QLatin1String(name));
}

// Idle: no cycle, Refresh enabled, Skip disabled, the default pointer.
inline bool idle(Main& main)
{
    return !module().busy && button(main, "RefreshBut")->isEnabled() &&
           !button(main, "SkipBut")->isEnabled() && main.grid().mousePointer() == 0;
}

inline const QColor White(255, 255, 255);
inline const QColor Black(0, 0, 0);
inline const QColor Red(255, 0, 0);
inline const QColor Yellow(255, 255, 0);

} // namespace kit
