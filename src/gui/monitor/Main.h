#pragma once

#include "probe/Admission.h"
#include "store/ServerFile.h"
#include "store/Servers.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class CheckCycle;
class MonitorAlerts;
class QMenu;
class ServerHistory;
struct CheckVerdict;
class QCheckBox;
class QPushButton;
class QTimer;
class ServersGrid;
struct CellVerdict;
struct RunResult;

// The monitor window: one grid row per server, the check cycle and its timer,
// Refresh, Skip and the way to the maintenance window.
class Main : public QWidget
{
    Q_OBJECT
public:
    static constexpr int TimerInterval = 60000; // ms
    static constexpr int TicksPerCycle = 5;
    // How much nicer than the program the checks' clients run.
    static constexpr int ClientNiceness = 10;

    explicit Main(const QString& fileName = QString::fromLatin1(ServerFile::DefaultName),
                  QWidget* parent = nullptr);
    ~Main() override;

    ServersGrid& grid() { return *grid_; }
    Servers& servers() { return servers_; }
    MonitorAlerts& alerts() { return *alerts_; }
    ServerHistory& history() { return *history_; }
    // Writes a verdict into a cell of the grid and tells the alerts what it shows.
    void showCell(int row, int col, const CellVerdict& verdict);
    const QString& fileName() const { return fileName_; }

    // What ends the program; quits the application unless replaced (tests).
    void setEndProgram(std::function<void()> endProgram) { endProgram_ = std::move(endProgram); }
    // How many checks of a cycle may run at once; 0 for all.
    void setMaxRunningChecks(int count) { checkPlaces_ = Admission::atMost(count); }
    void setCheckPlaces(const Admission::Limits& places) { checkPlaces_ = places; }

    void Form_Load();
    // Shows the window; its first activation follows once the window is on
    // screen. A window manager frames and places a window only as it maps
    // it, and replaces a size or place set before that with its own.
    void showAndActivate();
    // Rebuilds the grid from the file, sizes the window and starts a cycle.
    // Called after the first showing and after the maintenance window closes.
    void Form_Activate();
    void Form_Resize();
    void CheckServers();
    void Timer1_Timer();
    void RefreshBut_Click();
    void SkipBut_Click();
    void MenuBut_Click();
    // Column 0 opens an interactive login, column 3 re-reads the RAID state.
    void ServersGrid_DblClick();

    // The last check of a cycle calls this: the program ends if a close is
    // pending, otherwise the window becomes idle.
    void endCycle();

    // A check of the server in row ended: its history, the hints of its red
    // cells, its alerts; stopped: ended before it answered (Skip, a close).
    void checkFinished(int row, const QString& domain, const CheckVerdict& verdict, bool stopped);
    // The context menu of a row (History, Acknowledge), also reached by keys.
    QMenu* rowMenu(int row);
    void showHistory(int row);
    // Acknowledges the row's problem (asking for a comment and an end), or
    // ends its acknowledgement.
    void toggleAcknowledgement(int row);
    void acknowledge(const QString& domain, const QString& comment, std::optional<qint64> until);
    void endAcknowledgement(const QString& domain, const QString& why);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildHistoryActions();
    void showAcknowledgement(int row);
    void interactiveLogin();
    void raidRecheck();
    void raidRecheckEnded(int row, const QString& domain, const RunResult& result);
    // The re-check reached a server without /proc/mdstat.
    void noRaidAnswer(int row, const QString& domain);
    int rowOfDomain(int row, const QString& domain) const;
    // Drops the checks of the cycle; true when some had not finished.
    bool abandonCycle();
    int toPixelsX(int twips) const;
    int toPixelsY(int twips) const;
    int outerHeight() const; // twips
    void setOuterHeight(int twips);
    void setOuterWidth(int twips);
    int screenWidth() const;  // twips
    int screenHeight() const; // twips

    QString fileName_;
    Servers servers_;
    QPushButton* MenuBut_ = nullptr;
    QPushButton* SkipBut_ = nullptr;
    QCheckBox* Check1_ = nullptr;
    QPushButton* RefreshBut_ = nullptr;
    QTimer* Timer1_ = nullptr;
    ServersGrid* grid_ = nullptr;
    MonitorAlerts* alerts_ = nullptr;
    std::unique_ptr<ServerHistory> history_;
    std::unique_ptr<CheckCycle> cycle_; // the running cycle's checks, until the next one
    Admission::Limits checkPlaces_;
    QTimer* activationRetry_ = nullptr; // while the file is locked
    bool awaitingExposure_ = false;
    std::function<void()> endProgram_;
};
