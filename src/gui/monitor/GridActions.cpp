// The double-click actions of the monitor grid: an interactive login on the
// Server cell, a RAID re-check on the RAID cell.

#include "common/Module.h"
#include "monitor/GridCells.h"
#include "monitor/Main.h"
#include "monitor/MonitorAlerts.h"
#include "monitor/RaidDifference.h"
#include "monitor/ServersGrid.h"
#include "platform/MessageBox.h"
#include "probe/CommandLine.h"
#include "probe/Mdstat.h"
#include "probe/OutputFile.h"
#include "probe/Runner.h"
#include "store/Passwords.h"
#include "store/ServerLookup.h"

namespace
{

QString notInTable()
{
    return QStringLiteral("This server is no longer in the server table.");
}

} // namespace

void Main::ServersGrid_DblClick()
{
    switch (grid_->col()) {
    case ServerCol:
        interactiveLogin();
        break;
    case RaidCol:
        raidRecheck();
        break;
    default:
        break;
    }
}

void Main::interactiveLogin()
{
    // The Server cell holds the domain; without its record nothing starts,
    // so no other server's client can open in its place.
    const QString domain = grid_->text();
    if (domain.isEmpty() || !servers_.FindFirst(domain))
        return;
    const ServerRecord record = servers_.current();
    const CommandLine line = InteractiveLoginLine(
        ResolveSshPort(record), ResolveConnectionPassword(record), ResolveSshHost(record));
    QString reason;
    if (!Runner::instance().startDetached(line, &reason))
        MessageBox::ask(QStringLiteral("The login window could not be opened."), domain,
                        MessageBox::Critical, reason);
}

void Main::raidRecheck()
{
    const int row = grid_->row();
    Module& state = module();
    if (grid_->textMatrix(row, StatusCol) != CellText::Online || state.raidRecheck)
        return;
    state.raidRecheck = true;
    showCell(row, RaidCol, {PendingText, Level::None});

    const QString domain = grid_->textMatrix(row, ServerCol);
    if (!servers_.FindFirst(domain)) {
        MessageBox::ask(notInTable(), domain, MessageBox::Critical);
        state.raidRecheck = false;
        return;
    }
    const ServerRecord record = servers_.current();
    const CommandLine line = RaidRecheckLine(
        ResolveSshPort(record), ResolveConnectionPassword(record), ResolveSshHost(record));
    // The window goes on handling events while the client runs.
    Runner::instance().RunCommand(line, this, [this, row, domain](const RunResult& result) {
        raidRecheckEnded(row, domain, result);
    });
}

void Main::raidRecheckEnded(int row, const QString& domain, const RunResult& result)
{
    Module& state = module();
    const OutputRead output = readOutputFile(RaidTempFileName);
    if (!output.hasText && raidTextMissing(result)) {
        noRaidAnswer(row, domain);
        return;
    }
    if (!output.hasText) {
        // The RAID cell keeps ">Pending..." until the row's next check.
        MessageBox::ask(QStringLiteral("Unable to connect to server."), domain,
                        MessageBox::Critical, result.reason);
        state.raidRecheck = false;
        return;
    }
    const QString& text = output.text;

    // A cycle may have walked the view meanwhile: find the record again.
    if (!servers_.FindFirst(domain)) {
        MessageBox::ask(notInTable(), domain, MessageBox::Critical);
        state.raidRecheck = false;
        return;
    }
    const QString reference = servers_.RAID_Status();
    // What the arrays are in, above how the text differs: the administrator
    // accepts a reference knowing what it holds.
    const Mdstat md = parseMdstat(text);
    const QString summary = mdSummary(md).join(QLatin1Char('\n'));
    int answer =
        text == reference
            ? MessageBox::ask(text, domain, MessageBox::Information)
            : MessageBox::ask(text, domain, MessageBox::Question,
                              summary + QStringLiteral("\n\n") + raidDifference(reference, text));
    if (answer == MessageBox::Yes && mdLevel(md) == Level::Critical)
        answer = MessageBox::ask(
            QStringLiteral("This RAID state is degraded:\n%1\n\nAccept it as the reference all "
                           "the same? The RAID cell then reads Clean while it stays so.")
                .arg(summary),
            domain, MessageBox::Question);

    // The box let other events run: the view may have moved again.
    QString stored = reference;
    const bool accept = answer == MessageBox::Yes;
    if (servers_.FindFirst(domain) && (accept || servers_.RAID_Status().isEmpty())) {
        StoreStatus status = servers_.Edit();
        if (status.ok()) {
            servers_.buffer().raidStatus = accept ? text : RaidDirtyMarker;
            status = servers_.Update();
        }
        // Another program's lock: nothing was stored; the user may try again.
        while (status.error == StoreError::Locked &&
               MessageBox::ask(status.message +
                                   QStringLiteral("\n\nThe RAID state was not stored. Try again?"),
                               domain, MessageBox::Question) == MessageBox::Yes)
            status = servers_.Update();
        if (!status.ok()) {
            servers_.CancelUpdate();
            if (status.error != StoreError::Locked)
                MessageBox::ask(QStringLiteral("The RAID state could not be stored."), domain,
                                MessageBox::Critical, status.message);
        }
    }
    // The cell compares with what the file holds now, whatever became of the save.
    const ServerLookup::Result held = ServerLookup(fileName_).find(domain);
    if (held.status.ok())
        stored = held.record.raidStatus;
    else if (servers_.FindFirst(domain))
        stored = servers_.RAID_Status();

    // The grid may have been rebuilt meanwhile: write only to this server's row.
    const int target = rowOfDomain(row, domain);
    if (target > 0) {
        showCell(target, RaidCol, raidComparison(text, stored));
        grid_->setCellToolTip(target, RaidCol, summary);
    }
    state.raidRecheck = false;
}

void Main::noRaidAnswer(int row, const QString& domain)
{
    Module& state = module();
    const int answer = MessageBox::ask(
        QStringLiteral("This server has no software RAID (/proc/mdstat is missing).\n\nAccept "
                       "that as its reference?"),
        domain, MessageBox::Question);
    if (answer == MessageBox::Yes && servers_.FindFirst(domain)) {
        StoreStatus status = servers_.Edit();
        if (status.ok()) {
            servers_.buffer().raidStatus = NoRaidReference;
            status = servers_.Update();
        }
        if (!status.ok()) {
            servers_.CancelUpdate();
            MessageBox::ask(QStringLiteral("The RAID state could not be stored."), domain,
                            MessageBox::Critical, status.message);
        }
    }
    // The cell compares with what the file holds now.
    const ServerLookup::Result held = ServerLookup(fileName_).find(domain);
    const int target = rowOfDomain(row, domain);
    if (held.status.ok() && target > 0) {
        const QString& stored = held.record.raidStatus;
        showCell(target, RaidCol,
                 stored.isEmpty() ? CellVerdict{CellText::NotVerified, Level::Warning}
                                  : raidComparison(QString(), stored));
        grid_->setCellToolTip(target, RaidCol, mdSummary(Mdstat{}).join(QLatin1Char('\n')));
    }
    state.raidRecheck = false;
}

void Main::showCell(int row, int col, const CellVerdict& verdict)
{
    writeCell(*grid_, row, col, verdict);
    alerts_->cellWritten(grid_->textMatrix(row, ServerCol), col, verdict);
}

int Main::rowOfDomain(int row, const QString& domain) const
{
    if (grid_->textMatrix(row, ServerCol) == domain)
        return row;
    for (int other = 1; other < grid_->rows(); ++other) {
        if (grid_->textMatrix(other, ServerCol) == domain)
            return other;
    }
    return 0;
}
