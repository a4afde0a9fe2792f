// What the monitor window shows of its servers' past: "since when" in the
// cells' hints, a server's history view, and acknowledged problems.

#include "common/HistoryView.h"
#include "history/HistoryRules.h"
#include "monitor/AcknowledgeDialog.h"
#include "monitor/GridCells.h"
#include "monitor/Main.h"
#include "monitor/MonitorAlerts.h"
#include "monitor/ServerHistory.h"
#include "monitor/ServersGrid.h"
#include "probe/ClientReason.h"
#include "probe/Mdstat.h"

#include <QApplication>
#include <QMenu>
#include <QShortcut>
#include <QStyle>
#include <QTableWidget>

namespace
{

const QString HistoryKey = QStringLiteral("Ctrl+H");
const QString AcknowledgeKey = QStringLiteral("Ctrl+K");

// "since 14:02, 3 h 12 min" of a state the server is in; empty when not known.
QString sinceOf(const KnownState& known, const QString& state, qint64 now)
{
    if (known.state != state || known.since <= 0)
        return {};
    return sinceText(known.since, now);
}

} // namespace

void Main::buildHistoryActions()
{
    QTableWidget* table = grid_->widget();
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this, [this, table](const QPoint& at) {
        const QModelIndex index = table->indexAt(at);
        if (!index.isValid())
            return;
        rowMenu(index.row() + 1)->popup(table->viewport()->mapToGlobal(at));
    });
    const auto key = [&](const QString& sequence, void (Main::*action)(int)) {
        auto* shortcut = new QShortcut(QKeySequence(sequence), table);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, action] {
            if (grid_->row() > 0)
                (this->*action)(grid_->row());
        });
    };
    key(HistoryKey, &Main::showHistory);
    key(AcknowledgeKey, &Main::toggleAcknowledgement);
}

QMenu* Main::rowMenu(int row)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("RowMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QString domain = grid_->textMatrix(row, ServerCol);
    QAction* history =
        menu->addAction(QStringLiteral("&History..."), this, [this, row] { showHistory(row); });
    history->setShortcut(QKeySequence(HistoryKey));
    const bool acknowledged = history_->acknowledgement(domain).has_value();
    QAction* acknowledge = menu->addAction(acknowledged ? QStringLiteral("&End acknowledgement")
                                                        : QStringLiteral("&Acknowledge..."),
                                           this, [this, row] { toggleAcknowledgement(row); });
    acknowledge->setShortcut(QKeySequence(AcknowledgeKey));
    acknowledge->setEnabled(acknowledged || alerts_->hasProblem(domain));
    return menu;
}

void Main::showHistory(int row)
{
    history_->flush(); // what this run learnt is in the file before it is read
    auto* view =
        new HistoryView(fileName_, grid_->textMatrix(row, ServerCol), history_->now(), this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->show();
}

void Main::toggleAcknowledgement(int row)
{
    const QString domain = grid_->textMatrix(row, ServerCol);
    if (history_->acknowledgement(domain)) {
        endAcknowledgement(domain, QStringLiteral("ended by the administrator"));
        return;
    }
    if (!alerts_->hasProblem(domain))
        return; // only a problem can be acknowledged
    AcknowledgeDialog dialog(domain, history_->now(), this);
    if (dialog.exec() == QDialog::Accepted)
        acknowledge(domain, dialog.comment(), dialog.until());
}

void Main::acknowledge(const QString& domain, const QString& comment, std::optional<qint64> until)
{
    history_->acknowledge(domain, comment, until);
    showAcknowledgement(rowOfDomain(1, domain));
    alerts_->refreshSummary(history_->acknowledged());
}

void Main::endAcknowledgement(const QString& domain, const QString& why)
{
    history_->endAcknowledgement(domain, why);
    showAcknowledgement(rowOfDomain(1, domain));
    alerts_->refreshSummary(history_->acknowledged());
}

void Main::showAcknowledgement(int row)
{
    if (row <= 0)
        return;
    const auto a = history_->acknowledgement(grid_->textMatrix(row, ServerCol));
    // An icon and a hint in the Server cell; its text and colours stay.
    QTableWidgetItem* cell = grid_->widget()->item(row - 1, ServerCol);
    if (!cell)
        return;
    if (!a) {
        // Most rows never had either: an empty value set anyway would still
        // tell the view, and a screen reader, of a change.
        if (cell->data(Qt::DecorationRole).isValid())
            cell->setIcon(QIcon());
        if (cell->data(Qt::ToolTipRole).isValid())
            cell->setToolTip(QString());
        return;
    }
    cell->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    QString hint = QStringLiteral("Acknowledged %1").arg(sinceText(a->since, history_->now()));
    if (a->until)
        hint += QStringLiteral(", until %1")
                    .arg(QDateTime::fromMSecsSinceEpoch(*a->until).toString(
                        QStringLiteral("yyyy-MM-dd HH:mm")));
    if (!a->comment.isEmpty())
        hint += QStringLiteral(": ") + a->comment;
    cell->setToolTip(hint);
}

void Main::checkFinished(int row, const QString& domain, const CheckVerdict& verdict, bool stopped)
{
    std::optional<qint64> downFor;
    if (!stopped) {
        const KnownState before = history_->checkEnded(domain, verdict);
        const qint64 now = history_->now();
        if (verdict.online && before.state == HistoryState::Offline && before.since > 0)
            downFor = now - before.since;
        // The red cells' hints say since when.
        if (!verdict.online) {
            const QString since =
                sinceOf(history_->known(domain, HistoryAspect::Status), HistoryState::Offline, now);
            // What to do about it, when there is something to do.
            const QString advice = reasonAdvice(verdict.reason);
            grid_->setCellToolTip(row, StatusCol,
                                  CellText::Offline +
                                      (since.isEmpty() ? QString() : QLatin1Char(' ') + since) +
                                      QStringLiteral(": ") + verdict.reason +
                                      (advice.isEmpty() ? QString() : QLatin1Char('\n') + advice));
        } else {
            QString raid = mdSummary(parseMdstat(verdict.raidText)).join(QLatin1Char('\n'));
            const QString dirty =
                sinceOf(history_->known(domain, HistoryAspect::Raid), HistoryState::Dirty, now);
            if (!dirty.isEmpty())
                raid = CellText::Dirty + QLatin1Char(' ') + dirty + QLatin1Char('\n') + raid;
            grid_->setCellToolTip(row, RaidCol, raid);
            const QString failed =
                sinceOf(history_->known(domain, HistoryAspect::Backup), HistoryState::Failed, now);
            grid_->setCellToolTip(
                row, BackupCol, failed.isEmpty() ? QString() : QStringLiteral("Failed ") + failed);
        }
    }
    alerts_->checkWritten(domain, verdict, stopped, downFor);
    // An acknowledgement ends when its server shows no problem any more.
    if (!stopped && history_->acknowledgement(domain) && !alerts_->hasProblem(domain))
        endAcknowledgement(domain, QStringLiteral("recovered"));
}
