#include "monitor/Main.h"

#include "common/Module.h"
#include "common/Twips.h"
#include "maintenance/ServerMain.h"
#include "monitor/CheckCycle.h"
#include "monitor/CheckServerFrm.h"
#include "monitor/GridCells.h"
#include "monitor/MonitorAlerts.h"
#include "monitor/MonitorIcon.h"
#include "monitor/MonitorLayout.h"
#include "monitor/ServerHistory.h"
#include "monitor/ServersGrid.h"
#include "probe/ProbeVerdicts.h"
#include "probe/Runner.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFont>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>
#include <QWindow>
#include <cmath>

namespace
{

// The window as designed, in twips: client area and place.
constexpr int DesignWidth = 7635;
constexpr int DesignHeight = 4275;
constexpr int DesignLeft = 9240;
constexpr int DesignTop = 3315;

// The window's texts were sized for an 8.25 point sans serif of Arial's metrics.
QFont windowFont()
{
    QFont font;
    font.setFamilies(
        {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    return font;
}

struct ControlPlace {
    int left, top, width, height;
};

} // namespace

Main::Main(const QString& fileName, QWidget* parent)
    : QWidget(parent), fileName_(fileName), servers_(fileName),
      history_(std::make_unique<ServerHistory>(fileName)),
      endProgram_([] { QCoreApplication::exit(0); })
{
    setObjectName(QStringLiteral("Main"));
    // The checks' clients yield the cores to this window: a cycle over
    // thousands of servers keeps both cores busy, and the window's answers,
    // to the user and to a screen reader, should not wait behind them.
    Runner::instance().setClientNiceness(ClientNiceness);
    setWindowTitle(QStringLiteral("Quillfern Remote Server Monitor v0.5"));
    setWindowIcon(monitorIcon());
    setFont(windowFont());
    buildControls();
    move(toPixelsX(DesignLeft), toPixelsY(DesignTop));
    resize(toPixelsX(DesignWidth), toPixelsY(DesignHeight));
    Form_Load();
}

Main::~Main()
{
    // The checks go first: their clients are ended and their files removed.
    cycle_.reset();
}

void Main::buildControls()
{
    const auto place = [this](QWidget* control, ControlPlace at) {
        control->setGeometry(toPixelsX(at.left), toPixelsY(at.top), toPixelsX(at.width),
                             toPixelsY(at.height));
    };

    MenuBut_ = new QPushButton(QStringLiteral("&Server Maintenance"), this);
    MenuBut_->setObjectName(QStringLiteral("MenuBut"));
    place(MenuBut_, {5040, 120, 1695, 375});

    SkipBut_ = new QPushButton(QStringLiteral("&Skip"), this);
    SkipBut_->setObjectName(QStringLiteral("SkipBut"));
    place(SkipBut_, {1440, 120, 1095, 375});
    SkipBut_->setEnabled(false);

    // Shown as designed; it has no behaviour.
    Check1_ = new QCheckBox(QStringLiteral("SMS Notofications"), this);
    Check1_->setObjectName(QStringLiteral("Check1"));
    place(Check1_, {3240, 240, 1935, 195});
    Check1_->setEnabled(false);

    RefreshBut_ = new QPushButton(QStringLiteral("&Refresh"), this);
    RefreshBut_->setObjectName(QStringLiteral("RefreshBut"));
    place(RefreshBut_, {120, 120, 1095, 375});
    RefreshBut_->setEnabled(false);

    activationRetry_ = new QTimer(this);
    activationRetry_->setSingleShot(true);
    connect(activationRetry_, &QTimer::timeout, this, &Main::Form_Activate);

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setInterval(TimerInterval);

    grid_ = new ServersGrid(this);
    alerts_ = new MonitorAlerts(*this, *grid_);
    place(grid_->widget(), {120, 600, 3615, 3135});

    setTabOrder(grid_->widget(), RefreshBut_);
    setTabOrder(RefreshBut_, Check1_);
    setTabOrder(Check1_, SkipBut_);
    setTabOrder(SkipBut_, MenuBut_);
    // The grid comes first in the tab order and has the focus when the window opens.
    grid_->widget()->setFocus();

    connect(RefreshBut_, &QPushButton::clicked, this, &Main::RefreshBut_Click);
    connect(SkipBut_, &QPushButton::clicked, this, &Main::SkipBut_Click);
    connect(MenuBut_, &QPushButton::clicked, this, &Main::MenuBut_Click);
    connect(Timer1_, &QTimer::timeout, this, &Main::Timer1_Timer);
    connect(grid_, &ServersGrid::DblClick, this, &Main::ServersGrid_DblClick);
    buildHistoryActions();
    Timer1_->start();
}

void Main::Form_Load()
{
    const double left = MonitorLayout::centredLeft(
        screenWidth(), Twips::fromPixels(frameGeometry().width(), logicalDpiX()));
    move(toPixelsX(int(std::lround(left))), y());

    const char* titles[] = {"Server", "Status", "Uptime", "RAID", "Backup"};
    for (int col = 0; col < ServersGrid::Columns; ++col)
        grid_->setTextArray(col, QString::fromLatin1(titles[col]));
    grid_->setColWidth(0, 2500);
    grid_->setColWidth(2, 1200);
    grid_->setColWidth(4, 1500);
}

void Main::showAndActivate()
{
    awaitingExposure_ = true;
    show();
    if (QWindow* window = windowHandle())
        window->installEventFilter(this);
}

bool Main::eventFilter(QObject* watched, QEvent* event)
{
    QWindow* window = windowHandle();
    if (awaitingExposure_ && watched == window && event->type() == QEvent::Expose &&
        window->isExposed()) {
        awaitingExposure_ = false;
        window->removeEventFilter(this);
        // After this event: the frame and place the window manager gave are known by then.
        QTimer::singleShot(0, this, &Main::Form_Activate);
    }
    return QWidget::eventFilter(watched, event);
}

void Main::Form_Activate()
{
    // Read the file before anything goes: while another program holds it
    // locked, the grid and a running cycle stay as they are and activation
    // is tried again shortly, from the event loop.
    const StoreStatus read = servers_.Refresh();
    if (read.error == StoreError::Locked) {
        activationRetry_->start(ServerFile::LockRetry);
        return;
    }
    activationRetry_->stop();
    // The rows are about to be renumbered: checks still out belong to the old grid.
    const bool cycleWasOpen = abandonCycle();
    grid_->setRows(1);
    alerts_->gridFilled();
    // An empty (or unreadable) table: the title row only, and no cycle. A
    // cycle cut short above has no check left to close it, so it closes here.
    if (!servers_.MoveFirst().ok()) {
        if (cycleWasOpen)
            endCycle();
        return;
    }
    QStringList domains;
    domains.reserve(servers_.recordCount());
    while (!servers_.Eof()) {
        domains << servers_.Domain();
        servers_.MoveNext();
    }
    grid_->addItems(domains);
    for (int row = 1; row < grid_->rows(); ++row)
        showAcknowledgement(row);

    const int gridHeight = MonitorLayout::activationGridHeight(grid_->rowHeight(1), grid_->rows());
    const int screen = screenHeight();
    const int windowHeight =
        MonitorLayout::activationWindowHeight(grid_->top(), gridHeight, screen);
    setOuterHeight(windowHeight);
    Form_Resize(); // also when the height did not change: the rows did
    const double top = MonitorLayout::activationWindowTop(screen, windowHeight);
    move(x(), toPixelsY(int(std::lround(top))));

    CheckServers();
}

void Main::Form_Resize()
{
    Module& state = module();
    if (state.resizeGuard)
        return;
    state.resizeGuard = true;

    MonitorLayout::ResizeInput input;
    input.windowHeight = outerHeight();
    input.frameHeight = Twips::fromPixels(frameGeometry().height() - height(), logicalDpiY());
    input.gridTop = grid_->top();
    input.gridHeight = grid_->height();
    input.rowCount = grid_->rows();
    input.rowHeight = grid_->rowHeight(1);
    for (int col = 0; col < ServersGrid::Columns; ++col)
        input.columnWidths.push_back(grid_->colWidth(col));
    const MonitorLayout::ResizeResult result = MonitorLayout::resize(input);

    // A negative height is refused: the grid keeps the one it has.
    if (result.gridHeight)
        grid_->setHeight(*result.gridHeight);
    grid_->setWidth(result.gridWidth);
    // A minimised or maximised window keeps its size.
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        setOuterWidth(result.windowWidth);

    state.resizeGuard = false;
}

void Main::CheckServers()
{
    RefreshBut_->setEnabled(false);
    SkipBut_->setEnabled(true);
    module().busy = true;
    grid_->setMousePointer(ServersGrid::Hourglass);
    // Every row's Server cell turns yellow; the current cell is left on the last one.
    grid_->setColumnBackColor(ServerCol, Colours::Yellow);
    grid_->setRow(grid_->rows() - 1);
    grid_->setCol(ServerCol);

    // The previous cycle has ended (or was abandoned): its checks are gone.
    cycle_.reset();
    // The rows were appended in the view's order, so row n is its n-th
    // record; the cycle makes each row's check when a place is free.
    if (servers_.recordCount() == 0) {
        endCycle(); // nothing to check: the cycle is over at once
        return;
    }
    // In the window's object tree, owned here: it goes before the window does.
    cycle_ = std::make_unique<CheckCycle>(*this, servers_.recordCount() + 1, checkPlaces_, this);
}

void Main::endCycle()
{
    Module& state = module();
    if (state.quitPending) {
        endProgram_();
        return;
    }
    state.busy = false;
    RefreshBut_->setEnabled(true);
    SkipBut_->setEnabled(false);
    grid_->setMousePointer(ServersGrid::DefaultPointer);
    for (const QString& domain : history_->cycleEnded())
        showAcknowledgement(rowOfDomain(1, domain)); // their time is up
    alerts_->cycleEnded(history_->acknowledged());
}

bool Main::abandonCycle()
{
    const bool open = cycle_ && (cycle_->running() > 0 || cycle_->queued() > 0);
    cycle_.reset();
    return open;
}

void Main::Timer1_Timer()
{
    Module& state = module();
    ++state.tickCounter;
    if (state.tickCounter == TicksPerCycle) {
        state.tickCounter = 0;
        if (!state.busy)
            CheckServers();
    }
}

void Main::RefreshBut_Click()
{
    CheckServers();
}

void Main::SkipBut_Click()
{
    // Rows still waiting for a place are not checked in this cycle, and only
    // the clients of this program are ended; each check then reads whatever
    // its client left and the last one closes the cycle.
    if (module().busy && cycle_ && cycle_->skip())
        endCycle();
    Runner::instance().TerminateProcesses(QStringLiteral("plink"));
}

void Main::MenuBut_Click()
{
    SkipBut_Click();
    {
        ServerMain maintenance(this);
        maintenance.exec();
    }
    module().busy = false;
    Form_Activate();
}

void Main::closeEvent(QCloseEvent* event)
{
    Module& state = module();
    const bool cancel = state.busy;
    if (cancel)
        state.quitPending = true;
    SkipBut_Click();
    if (cancel) {
        event->ignore(); // the last check of the cycle ends the program
        return;
    }
    event->accept();
    endProgram_();
}

void Main::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

int Main::toPixelsX(int twips) const
{
    return Twips::toPixels(twips, logicalDpiX());
}

int Main::toPixelsY(int twips) const
{
    return Twips::toPixels(twips, logicalDpiY());
}

int Main::outerHeight() const
{
    return Twips::fromPixels(frameGeometry().height(), logicalDpiY());
}

void Main::setOuterHeight(int twips)
{
    const int frame = frameGeometry().height() - height();
    resize(width(), std::max(toPixelsY(twips) - frame, 0));
}

void Main::setOuterWidth(int twips)
{
    const int frame = frameGeometry().width() - width();
    // Fixed, so that dragging cannot change it; it follows the columns.
    const int width = std::max(toPixelsX(twips) - frame, 0);
    if (minimumWidth() != width || maximumWidth() != width)
        setFixedWidth(width);
    else if (this->width() != width)
        resize(width, height());
}

int Main::screenWidth() const
{
    return Twips::fromPixels(screen()->geometry().width(), logicalDpiX());
}

int Main::screenHeight() const
{
    return Twips::fromPixels(screen()->geometry().height(), logicalDpiY());
}
