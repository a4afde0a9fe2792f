#include "monitor/MonitorLayout.h"

#include <QtTest>

// The monitor's size arithmetic, in twips.
class TestMonitorLayout : public QObject
{
    Q_OBJECT
private slots:
    void gridHeight_data();
    void gridHeight();
    void gridWidth_data();
    void gridWidth();
    void refusedHeightComparesWithTheOldOne_data();
    void refusedHeightComparesWithTheOldOne();
    void activationHeight_data();
    void activationHeight();
    void activationTop_data();
    void activationTop();
    void centredLeft();
};

namespace
{

// Columns as the window sets them, with 1200 for the two default widths.
const std::vector<int> Columns{2500, 1200, 1200, 1200, 1500};
constexpr int ColumnSum = 7600;

} // namespace

void TestMonitorLayout::gridHeight_data()
{
    QTest::addColumn<int>("windowHeight");
    QTest::addColumn<int>("frameHeight");
    QTest::addColumn<int>("gridTop");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("expected");
    QTest::newRow("4000 high") << 4000 << 0 << 600 << true << 3250;
    QTest::newRow("exactly top + 150") << 750 << 0 << 600 << true << 0;
    QTest::newRow("shorter than top + 150") << 749 << 0 << 600 << false << 0;
    QTest::newRow("far too short") << 100 << 0 << 600 << false << 0;
    // A title bar and borders of 375 twips (25 pixels at 96 dpi) are no room for the grid.
    QTest::newRow("4000 high with a frame") << 4000 << 375 << 600 << true << 2875;
    QTest::newRow("frame + top + 150") << 1125 << 375 << 600 << true << 0;
    QTest::newRow("the frame leaves too little") << 1124 << 375 << 600 << false << 0;
}

void TestMonitorLayout::gridHeight()
{
    QFETCH(int, windowHeight);
    QFETCH(int, frameHeight);
    QFETCH(int, gridTop);
    QFETCH(bool, accepted);
    QFETCH(int, expected);
    const std::optional<int> height =
        MonitorLayout::gridHeightFor(windowHeight, gridTop, frameHeight);
    QCOMPARE(height.has_value(), accepted);
    if (accepted)
        QCOMPARE(*height, expected);

    // The whole run: the grid gets that height, and the rows are measured against it.
    MonitorLayout::ResizeInput input;
    input.windowHeight = windowHeight;
    input.frameHeight = frameHeight;
    input.gridTop = gridTop;
    input.gridHeight = 1234;
    input.rowCount = 4;
    input.rowHeight = 240;
    input.columnWidths = Columns;
    const MonitorLayout::ResizeResult result = MonitorLayout::resize(input);
    QCOMPARE(result.gridHeight, height);
    const bool fits = height.value_or(1234) > 4 * 240 + 60;
    QCOMPARE(result.gridWidth, ColumnSum + (fits ? 90 : 340));
}

void TestMonitorLayout::gridWidth_data()
{
    QTest::addColumn<int>("gridHeight");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("rowHeight");
    QTest::addColumn<int>("gridWidth");
    // Three servers and the title row in a 3250 grid: 3250 > 4 x 240 + 60.
    QTest::newRow("3 rows fit") << 3250 << 4 << 240 << ColumnSum + 90;
    // Twenty servers: 3250 is not more than 21 x 240 + 60 = 5100.
    QTest::newRow("20 rows do not fit") << 3250 << 21 << 240 << ColumnSum + 340;
    QTest::newRow("equality does not fit") << 4 * 240 + 60 << 4 << 240 << ColumnSum + 340;
    QTest::newRow("one twip more fits") << 4 * 240 + 61 << 4 << 240 << ColumnSum + 90;
    QTest::newRow("title row only") << 3250 << 1 << 240 << ColumnSum + 340;
}

void TestMonitorLayout::gridWidth()
{
    QFETCH(int, gridHeight);
    QFETCH(int, rowCount);
    QFETCH(int, rowHeight);
    QFETCH(int, gridWidth);
    QCOMPARE(MonitorLayout::gridWidthFor(Columns, gridHeight, rowCount, rowHeight), gridWidth);

    // The whole run from a window height that gives this grid height.
    MonitorLayout::ResizeInput input;
    input.windowHeight = gridHeight + 600 + 150;
    input.gridTop = 600;
    input.gridHeight = 1234;
    input.rowCount = rowCount;
    input.rowHeight = rowHeight;
    input.columnWidths = Columns;
    const MonitorLayout::ResizeResult result = MonitorLayout::resize(input);
    QCOMPARE(result.gridHeight, std::optional<int>(gridHeight));
    QCOMPARE(result.gridWidth, gridWidth);
    QCOMPARE(result.windowWidth, gridWidth + 220);
}

void TestMonitorLayout::refusedHeightComparesWithTheOldOne_data()
{
    QTest::addColumn<int>("oldGridHeight");
    QTest::addColumn<int>("gridWidth");
    QTest::newRow("old grid holds the rows") << 3000 << ColumnSum + 90;
    QTest::newRow("old grid too small") << 500 << ColumnSum + 340;
}

void TestMonitorLayout::refusedHeightComparesWithTheOldOne()
{
    QFETCH(int, oldGridHeight);
    QFETCH(int, gridWidth);
    MonitorLayout::ResizeInput input;
    input.windowHeight = 400; // 400 - 600 - 150 < 0: refused
    input.gridTop = 600;
    input.gridHeight = oldGridHeight;
    input.rowCount = 4;
    input.rowHeight = 240;
    input.columnWidths = Columns;
    const MonitorLayout::ResizeResult result = MonitorLayout::resize(input);
    QVERIFY(!result.gridHeight);
    QCOMPARE(result.gridWidth, gridWidth);
    QCOMPARE(result.windowWidth, gridWidth + 220);
}

void TestMonitorLayout::activationHeight_data()
{
    QTest::addColumn<int>("rowHeight");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<int>("screenHeight");
    QTest::addColumn<int>("gridHeight");
    QTest::addColumn<int>("windowHeight");
    QTest::newRow("3 servers") << 240 << 4 << 11520 << 1055 << 600 + 1055 + 870;
    QTest::newRow("too many for the screen") << 240 << 60 << 11520 << 14495 << 11520 - 870;
    // 600 + gh + 870 equal to the screen is not more than it.
    QTest::newRow("exactly the screen") << 240 << 4 << 600 + 1055 + 870 << 1055 << 2525;
    QTest::newRow("one twip over") << 240 << 4 << 2524 << 1055 << 2524 - 870;
}

void TestMonitorLayout::activationHeight()
{
    QFETCH(int, rowHeight);
    QFETCH(int, rowCount);
    QFETCH(int, screenHeight);
    QFETCH(int, gridHeight);
    QFETCH(int, windowHeight);
    QCOMPARE(MonitorLayout::activationGridHeight(rowHeight, rowCount), gridHeight);
    QCOMPARE(MonitorLayout::activationWindowHeight(600, gridHeight, screenHeight), windowHeight);
}

void TestMonitorLayout::activationTop_data()
{
    QTest::addColumn<int>("screenHeight");
    QTest::addColumn<int>("windowHeight");
    QTest::addColumn<double>("top");
    QTest::newRow("200 above the centre") << 11520 << 2525 << 5760.0 - 1262.5 - 200.0;
    // A window of screen - 870 sits at 870 / 2 - 200.
    QTest::newRow("full height") << 11520 << 11520 - 870 << 235.0;
}

void TestMonitorLayout::activationTop()
{
    QFETCH(int, screenHeight);
    QFETCH(int, windowHeight);
    QFETCH(double, top);
    QCOMPARE(MonitorLayout::activationWindowTop(screenHeight, windowHeight), top);
}

void TestMonitorLayout::centredLeft()
{
    QCOMPARE(MonitorLayout::centredLeft(19200, 7755), 9600.0 - 3877.5);
    QCOMPARE(MonitorLayout::centredLeft(7000, 7000), 0.0);
}

QTEST_APPLESS_MAIN(TestMonitorLayout)
#include "TestMonitorLayout.moc"
