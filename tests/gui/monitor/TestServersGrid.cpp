#include "monitor/ServersGrid.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTableWidget>
#include <QWidget>
#include <QtTest>

// The grid adapter on a real table widget, offscreen, where a logical inch
// is 96 pixels: one pixel is 1440 / 96 = 15 twips, and the pixels below are
// twips x 96 / 1440 worked out by hand.
class TestServersGrid : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void titleRowIsTheHeader();
    void appendedRowIsLastWithEmptyCells();
    void oneRowDropsTextsAndColours();
    void coloursGoToTheCurrentCellOnly();
    void textByPositionLeavesTheCurrentCell();
    void columnWidthsInTwips_data();
    void columnWidthsInTwips();
    void mousePointer();
    void negativeSizeRefused();
    void placementInTwips();
    void doubleClickMakesTheCellCurrent_data();
    void doubleClickMakesTheCellCurrent();
    void toolTipOnOneCell();

private:
    QTableWidgetItem* cell(int row, int col) const { return table()->item(row - 1, col); }
    QTableWidget* table() const { return grid->widget(); }

    QWidget* window = nullptr;
    ServersGrid* grid = nullptr;
};

void TestServersGrid::initTestCase()
{
    QWidget probe;
    QCOMPARE(probe.logicalDpiX(), 96);
    QCOMPARE(probe.logicalDpiY(), 96);
}

void TestServersGrid::init()
{
    window = new QWidget;
    window->resize(800, 400);
    grid = new ServersGrid(window);
    table()->setGeometry(8, 40, 700, 300);
}

void TestServersGrid::cleanup()
{
    delete window;
    window = nullptr;
    grid = nullptr;
}

void TestServersGrid::titleRowIsTheHeader()
{
    QCOMPARE(table()->objectName(), QStringLiteral("ServersGrid"));
    QCOMPARE(grid->rows(), 1);
    QCOMPARE(table()->rowCount(), 0);
    const QStringList titles{"Server", "Status", "Uptime", "RAID", "Backup"};
    for (int i = 0; i < titles.size(); ++i)
        grid->setTextArray(i, titles[i]);
    for (int col = 0; col < titles.size(); ++col) {
        QCOMPARE(table()->horizontalHeaderItem(col)->text(), titles[col]);
        QCOMPARE(grid->textMatrix(0, col), titles[col]);
    }
    // A flat index past the first row lands in a data row.
    grid->addItem("a.org");
    grid->setTextArray(ServersGrid::Columns + 3, "x");
    QCOMPARE(cell(1, 3)->text(), QStringLiteral("x"));
}

void TestServersGrid::appendedRowIsLastWithEmptyCells()
{
    grid->addItem("a.org");
    grid->addItem("b.org");
    QCOMPARE(grid->rows(), 3);
    QCOMPARE(grid->textMatrix(2, 0), QStringLiteral("b.org"));
    QCOMPARE(cell(2, 0)->text(), QStringLiteral("b.org"));
    for (int col = 1; col < ServersGrid::Columns; ++col)
        QCOMPARE(grid->textMatrix(2, col), QString());
}

void TestServersGrid::oneRowDropsTextsAndColours()
{
    grid->addItem("a.org");
    grid->addItem("b.org");
    grid->setTextMatrix(1, 1, "Online");
    grid->setRow(1);
    grid->setCol(1);
    grid->setCellBackColor(Colours::Red);
    grid->setCellForeColor(Colours::White);

    grid->setRows(1);
    QCOMPARE(grid->rows(), 1);
    QCOMPARE(table()->rowCount(), 0);
    grid->addItem("c.org");
    QCOMPARE(grid->rows(), 2);
    QCOMPARE(grid->textMatrix(1, 0), QStringLiteral("c.org"));
    QCOMPARE(grid->textMatrix(1, 1), QString());
    QCOMPARE(cell(1, 1)->background().style(), Qt::NoBrush);
    QCOMPARE(cell(1, 1)->foreground().style(), Qt::NoBrush);

    // Growing the count adds empty rows.
    grid->setRows(4);
    QCOMPARE(grid->rows(), 4);
    QCOMPARE(grid->textMatrix(3, 0), QString());
    QVERIFY(cell(3, 4) != nullptr);
}

void TestServersGrid::coloursGoToTheCurrentCellOnly()
{
    for (const char* domain : {"a.org", "b.org", "c.org"})
        grid->addItem(domain);
    grid->setRow(2);
    grid->setCol(3);
    grid->setCellBackColor(Colours::Red);
    grid->setCellForeColor(Colours::White);
    QCOMPARE(cell(2, 3)->background().color(), QColor(255, 0, 0));
    QCOMPARE(cell(2, 3)->foreground().color(), QColor(255, 255, 255));
    for (int row = 1; row <= 3; ++row) {
        for (int col = 0; col < ServersGrid::Columns; ++col) {
            if (row == 2 && col == 3)
                continue;
            QCOMPARE(cell(row, col)->background().style(), Qt::NoBrush);
            QCOMPARE(cell(row, col)->foreground().style(), Qt::NoBrush);
        }
    }
    grid->setText(">Pending...");
    QCOMPARE(grid->textMatrix(2, 3), QStringLiteral(">Pending..."));
    QCOMPARE(grid->text(), QStringLiteral(">Pending..."));
}

void TestServersGrid::textByPositionLeavesTheCurrentCell()
{
    grid->addItem("a.org");
    grid->addItem("b.org");
    grid->setRow(1);
    grid->setCol(0);
    grid->setTextMatrix(2, 4, "N/A");
    QCOMPARE(grid->row(), 1);
    QCOMPARE(grid->col(), 0);
    grid->setCellBackColor(Colours::Yellow);
    QCOMPARE(cell(1, 0)->background().color(), QColor(255, 255, 0));
    QCOMPARE(cell(2, 4)->background().style(), Qt::NoBrush);
}

void TestServersGrid::columnWidthsInTwips_data()
{
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("server") << 0 << 2500 << 167; // 166.67
    QTest::newRow("uptime") << 2 << 1200 << 80;
    QTest::newRow("backup") << 4 << 1500 << 100;
}

void TestServersGrid::columnWidthsInTwips()
{
    QFETCH(int, col);
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(grid->colWidth(1), int(ServersGrid::DefaultColumnWidth));
    grid->setColWidth(col, twips);
    QCOMPARE(grid->colWidth(col), twips);
    QCOMPARE(table()->columnWidth(col), pixels);
    // The others keep theirs.
    QCOMPARE(grid->colWidth(col == 0 ? 1 : 0), int(ServersGrid::DefaultColumnWidth));
}

void TestServersGrid::mousePointer()
{
    grid->setMousePointer(ServersGrid::Hourglass);
    QCOMPARE(grid->mousePointer(), 11);
    QVERIFY(table()->testAttribute(Qt::WA_SetCursor));
    QCOMPARE(table()->cursor().shape(), Qt::WaitCursor);
    grid->setMousePointer(ServersGrid::DefaultPointer);
    QCOMPARE(grid->mousePointer(), 0);
    QVERIFY(!table()->testAttribute(Qt::WA_SetCursor));
}

void TestServersGrid::negativeSizeRefused()
{
    QVERIFY(grid->setHeight(3000));
    QCOMPARE(table()->height(), 200);
    QVERIFY(!grid->setHeight(-15));
    QCOMPARE(table()->height(), 200);
    QVERIFY(grid->setHeight(0));
    QCOMPARE(table()->height(), 0);
    QVERIFY(!grid->setWidth(-1));
}

void TestServersGrid::placementInTwips()
{
    grid->setTop(600);
    QVERIFY(grid->setWidth(7690));
    QVERIFY(grid->setHeight(3135));
    QCOMPARE(table()->y(), 40);
    QCOMPARE(table()->width(), 513); // 512.67
    QCOMPARE(table()->height(), 209);
    QCOMPARE(grid->top(), 600);
    QCOMPARE(grid->height(), 3135);
    // A row is at least 240 twips (16 pixels) high, and reads back in twips.
    grid->addItem("a.org");
    QVERIFY(table()->rowHeight(0) >= 16);
    QCOMPARE(grid->rowHeight(1), table()->rowHeight(0) * 15);
}

void TestServersGrid::doubleClickMakesTheCellCurrent_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::newRow("server cell") << 2 << 0;
    QTest::newRow("raid cell") << 3 << 3;
    QTest::newRow("backup cell") << 1 << 4;
}

void TestServersGrid::doubleClickMakesTheCellCurrent()
{
    QFETCH(int, row);
    QFETCH(int, col);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    for (const char* domain : {"a.org", "b.org", "c.org"})
        grid->addItem(domain);
    QSignalSpy spy(grid, &ServersGrid::DblClick);
    int rowAtSignal = -1, colAtSignal = -1;
    connect(grid, &ServersGrid::DblClick, this, [&] {
        rowAtSignal = grid->row();
        colAtSignal = grid->col();
    });

    const QPoint centre = table()->visualRect(table()->model()->index(row - 1, col)).center();
    for (int round = 0; round < 2; ++round) {
        // The program moves the current cell elsewhere between the clicks.
        grid->setRow(row == 1 ? 2 : 1);
        grid->setCol(col == 0 ? 1 : 0);
        QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(table()->viewport(), Qt::LeftButton, {}, centre);
        QCOMPARE(spy.count(), round + 1);
        QCOMPARE(rowAtSignal, row);
        QCOMPARE(colAtSignal, col);
    }
}

void TestServersGrid::toolTipOnOneCell()
{
    grid->addItem("a.org");
    grid->addItem("b.org");
    grid->setCellToolTip(2, 1, "Connection refused");
    QCOMPARE(cell(2, 1)->toolTip(), QStringLiteral("Connection refused"));
    QCOMPARE(cell(1, 1)->toolTip(), QString());
    grid->setCellToolTip(2, 1, QString());
    QCOMPARE(cell(2, 1)->toolTip(), QString());
}

QTEST_MAIN(TestServersGrid)
#include "TestServersGrid.moc"
