#pragma once

// Helpers shared by the monitor tests: records in the working folder's
// Servers.mdb, cell reads and the wait for every client to be gone.

#include "monitor/CheckServerFrm.h"
#include "monitor/Main.h"
#include "monitor/ServersGrid.h"
#include "store/Passwords.h"
#include "store/Servers.h"

#include <QAbstractButton>
#include <QTableWidget>
#include <QTest>

namespace kit
{

enum Column { Server = 0, Status = 1, Uptime = 2, Raid = 3, Backup = 4 };

// Adds a record to Servers.mdb in the working folder; true when saved.
inline bool addRecord(const QString& domain, const QString& host, const QString& port,
                      const QString& password = QStringLiteral("pw"),
                      const QString& raidStatus = {})
{
    Servers view;
    if (!view.openStatus().ok() || !view.AddNew().ok())
        return false;
    view.buffer().domain = domain;
    view.buffer().serverHost = host;
    view.buffer().sshPort = port;
    view.buffer().serverPassword = ScramblePassword(passwordToCodePage(password));
    view.buffer().raidStatus = raidStatus;
    return view.Update().ok();
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

inline const QColor White(255, 255, 255);
inline const QColor Black(0, 0, 0);
inline const QColor Red(255, 0, 0);
inline const QColor Yellow(255, 255, 0);

} // namespace kit
