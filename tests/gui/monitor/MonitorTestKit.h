#pragma once

// Helpers shared by the monitor tests: the fixture every test starts from,
// records in the working folder's Servers.mdb and cell reads.

#include "common/Module.h"
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

#include <memory>

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
inline const QColor None; // no colour of the cell's own

// A cell's text and colours, to compare in one go.
struct Cell {
    Cell() = default;
    Cell(const QString& text, const QColor& back = None, const QColor& fore = None)
        : text(text), back(back), fore(fore)
    {
    }
    Cell(const char* text, const QColor& back = None, const QColor& fore = None)
        : Cell(QString::fromUtf8(text), back, fore)
    {
    }
    QString text;
    QColor back, fore;
    bool operator==(const Cell&) const = default;
};

inline Cell cellOf(Main& main, int row, int col)
{
    return {text(main, row, col), back(main, row, col), fore(main, row, col)};
}

// Why an offline row is offline: its Status hint after "!!!Offline!!! since
// 14:02, 3 h 12 min: " and before any advice on the next line (a check
// stopped before it answered has the reason alone).
inline QString offlineReason(Main& main, int row)
{
    const QString hint = cell(main, row, Status)->toolTip();
    if (!hint.startsWith(QStringLiteral("!!!Offline!!!")))
        return hint;
    return hint.section(QLatin1Char('\n'), 0, 0).section(QStringLiteral(": "), 1);
}

// A row's four verdicts: Status, Uptime, RAID and Backup.
inline QList<Cell> verdicts(Main& main, int row)
{
    return {cellOf(main, row, Status), cellOf(main, row, Uptime), cellOf(main, row, Raid),
            cellOf(main, row, Backup)};
}

} // namespace kit

namespace QTest
{
template <> inline char* toString(const kit::Cell& cell)
{
    const auto name = [](const QColor& c) {
        return c.isValid() ? c.name() : QStringLiteral("none");
    };
    return qstrdup(qPrintable(
        QStringLiteral("\"%1\" on %2 in %3").arg(cell.text, name(cell.back), name(cell.fore))));
}
} // namespace QTest

// The base of the tests that drive the monitor window: every test function
// starts from a fresh fixture and ends with the window closed, its clients
// ended and the fixture dropped. A test class that needs more in init() or
// cleanup() declares its own and calls these.
class MonitorTest : public QObject
{
    Q_OBJECT
protected slots:
    void init()
    {
        endCalls = 0;
        env = std::make_unique<MonitorFixture>();
        QVERIFY2(env->ok(), qPrintable(env->error()));
    }
    void cleanup()
    {
        main.reset();
        QVERIFY(kit::clientsEnded());
        env.reset();
    }

protected:
    // A monitor window whose "end the program" only counts its calls.
    virtual void makeMain()
    {
        main = std::make_unique<Main>();
        main->setEndProgram([this] { ++endCalls; });
    }
    // Shows a new window and activates it: the grid is filled and the first
    // cycle has begun.
    void activate()
    {
        makeMain();
        main->show();
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        main->Form_Activate();
    }
    // ... and waits until that cycle ended.
    void startMonitor()
    {
        activate();
        QTRY_VERIFY_WITH_TIMEOUT(!module().busy, 30000);
    }
    // A click on Refresh and the end of the cycle it started.
    void refreshAndWait()
    {
        main->RefreshBut_Click();
        QVERIFY(module().busy);
        QTRY_VERIFY_WITH_TIMEOUT(kit::idle(*main), 30000);
    }
    FixtureServer& startServer(const QString& domain, const FixtureOptions& options = {},
                               const QString& raidStatus = {})
    {
        return env->start(domain, options, raidStatus);
    }

    std::unique_ptr<MonitorFixture> env;
    std::unique_ptr<Main> main;
    int endCalls = 0;
};
