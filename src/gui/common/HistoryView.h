#pragma once

#include "history/HistoryRules.h"

#include <QDialog>
#include <QWidget>

class QLabel;
class QListWidget;

// A band of coloured parts, oldest on the left: green, yellow, red, and grey
// where the monitor did not watch.
class HistoryStrip : public QWidget
{
    Q_OBJECT
public:
    explicit HistoryStrip(QWidget* parent = nullptr);
    void setColours(const QList<StripColour>& colours);
    const QList<StripColour>& colours() const { return colours_; }
    QSize sizeHint() const override { return {480, 22}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<StripColour> colours_;
};

// One server's past: strips of the last 24 hours and 30 days, its
// availability over 24 h, 7 and 30 days (of the time the monitor watched),
// and its changes, newest first. Read from the servers file when opened.
class HistoryView : public QDialog
{
    Q_OBJECT
public:
    HistoryView(const QString& fileName, const QString& domain, qint64 now,
                QWidget* parent = nullptr);

    // How a change reads in the list: "2026-12-09 14:02  Offline: Connection refused".
    static QString changeText(const HistoryEvent& event);

private:
    HistoryStrip* day_;
    HistoryStrip* month_;
    QLabel* availability_;
    QListWidget* changes_;
};
