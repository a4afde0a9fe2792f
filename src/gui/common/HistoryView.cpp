#include "common/HistoryView.h"

#include "history/HistoryStore.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QVBoxLayout>

namespace
{

constexpr qint64 Hour = 3600LL * 1000;
constexpr qint64 Day = 24 * Hour;
constexpr int DayParts = 96;    // a quarter of an hour each
constexpr int MonthParts = 120; // six hours each

QColor colourOf(StripColour colour)
{
    switch (colour) {
    case StripColour::Green:
        return QColor(0, 200, 0);
    case StripColour::Yellow:
        return QColor(255, 255, 0);
    case StripColour::Red:
        return QColor(255, 0, 0);
    case StripColour::Unknown:
        break;
    }
    return QColor(200, 200, 200);
}

// "24 h: 99.8 %", with how much of the time counted when the monitor did not
// watch all of it.
QString availabilityText(const QString& name, const Availability& a, qint64 window)
{
    if (!a.percent)
        return name + QStringLiteral(": not watched");
    QString text = QStringLiteral("%1: %2 %").arg(name).arg(*a.percent, 0, 'f', 1);
    if (a.observedMs < window * 99 / 100)
        text += QStringLiteral(" (of %1 watched)").arg(durationText(a.observedMs));
    return text;
}

} // namespace

HistoryStrip::HistoryStrip(QWidget* parent) : QWidget(parent)
{
    setMinimumHeight(18);
}

void HistoryStrip::setColours(const QList<StripColour>& colours)
{
    colours_ = colours;
    update();
}

void HistoryStrip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int n = int(colours_.size());
    for (int i = 0; i < n; ++i) {
        const int left = width() * i / n, right = width() * (i + 1) / n;
        painter.fillRect(left, 0, right - left, height(), colourOf(colours_[i]));
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

QString HistoryView::changeText(const HistoryEvent& e)
{
    const QString when =
        QDateTime::fromMSecsSinceEpoch(e.at).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    QString what;
    switch (e.aspect) {
    case HistoryAspect::Status:
        what = e.state == HistoryState::Online ? QStringLiteral("Online")
                                               : QStringLiteral("Offline: ") + e.detail;
        break;
    case HistoryAspect::Raid:
        what = QStringLiteral("RAID ") + (e.state == HistoryState::Clean ? QStringLiteral("clean")
                                          : e.state == HistoryState::Dirty
                                              ? QStringLiteral("dirty")
                                              : QStringLiteral("not verified"));
        break;
    case HistoryAspect::Backup:
        what = (e.state == HistoryState::Good ? QStringLiteral("Backup good")
                                              : QStringLiteral("Backup failed")) +
               (e.detail.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(e.detail));
        break;
    case HistoryAspect::Acknowledgement:
        what = e.state == HistoryState::Acknowledged
                   ? QStringLiteral("Acknowledged") +
                         (e.detail.isEmpty() ? QString() : QStringLiteral(": ") + e.detail)
                   : QStringLiteral("Acknowledgement ended: ") + e.detail;
        break;
    }
    return when + QStringLiteral("  ") + what;
}

HistoryView::HistoryView(const QString& fileName, const QString& domain, qint64 now,
                         QWidget* parent)
    : QDialog(parent), day_(new HistoryStrip(this)), month_(new HistoryStrip(this)),
      availability_(new QLabel(this)), changes_(new QListWidget(this))
{
    setObjectName(QStringLiteral("HistoryView"));
    setWindowTitle(QStringLiteral("History: %1").arg(domain));
    day_->setObjectName(QStringLiteral("DayStrip"));
    month_->setObjectName(QStringLiteral("MonthStrip"));
    availability_->setObjectName(QStringLiteral("AvailabilityLabel"));
    changes_->setObjectName(QStringLiteral("ChangesList"));
    day_->setAccessibleName(QStringLiteral("The last 24 hours"));
    month_->setAccessibleName(QStringLiteral("The last 30 days"));
    changes_->setAccessibleName(QStringLiteral("Changes, newest first"));

    QList<HistoryEvent> events;
    QList<ObservedSpan> observed;
    HistoryStore store(fileName);
    const StoreStatus read = store.read(domain, now - 30 * Day, &events, &observed);

    day_->setColours(historyStrip(events, observed, now - Day, now, DayParts));
    month_->setColours(historyStrip(events, observed, now - 30 * Day, now, MonthParts));
    QStringList lines;
    for (const auto& [name, window] : {std::pair{QStringLiteral("24 h"), Day},
                                       {QStringLiteral("7 days"), 7 * Day},
                                       {QStringLiteral("30 days"), 30 * Day}})
        lines << availabilityText(name, availability(events, observed, now - window, now), window);
    availability_->setText(QStringLiteral("Available: ") + lines.join(QStringLiteral(", ")));
    availability_->setWordWrap(true);
    for (auto it = events.crbegin(); it != events.crend(); ++it) {
        if (it->at >= now - 30 * Day)
            changes_->addItem(changeText(*it));
    }
    if (!read.ok())
        changes_->addItem(read.message);
    else if (changes_->count() == 0)
        changes_->addItem(QStringLiteral("No changes recorded in the last 30 days."));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("The last 24 hours:"), this));
    layout->addWidget(day_);
    layout->addWidget(new QLabel(QStringLiteral("The last 30 days:"), this));
    layout->addWidget(month_);
    layout->addWidget(availability_);
    layout->addWidget(changes_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 480);
}
