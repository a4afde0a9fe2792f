#include "MaintenanceSupport.h"

#include "store/Servers.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <sqlite3.h>

QStringList tabOrder(QWidget* first, int count)
{
    QStringList names;
    QWidget* widget = first;
    while (widget && names.size() < count) {
        if (widget->focusPolicy() & Qt::TabFocus)
            names << widget->objectName();
        widget = widget->nextInFocusChain();
        if (widget == first)
            break;
    }
    return names;
}

QStringList listed(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void typeEntries(QWidget& dialog, const QString& domain, const QString& host, const QString& port,
                 const QString& password)
{
    const QList<std::pair<const char*, QString>> entries{{"DomainBox", domain},
                                                         {"ServerHostBox", host},
                                                         {"SSHPortBox", port},
                                                         {"PasswordBox", password}};
    for (const auto& [box, text] : entries) {
        if (!text.isEmpty())
            QTest::keyClicks(dialog.findChild<QLineEdit*>(QLatin1String(box)), text);
    }
}

QString dialogState(const QWidget& dialog)
{
    const auto* save = dialog.findChild<QPushButton*>(QStringLiteral("AddBut"));
    QStringList entries;
    for (const char* box : {"DomainBox", "ServerHostBox", "SSHPortBox", "PasswordBox"})
        entries << dialog.findChild<QLineEdit*>(QLatin1String(box))->text();
    return QStringLiteral("%1 | %2, %3 | %4")
        .arg(dialog.windowTitle(), save->text(), save->isEnabled() ? "enabled" : "disabled",
             entries.join(", "));
}

Workspace::Workspace(Terminal terminal, Sandbox* shared, Client client)
    : own_(shared ? nullptr : std::make_unique<Sandbox>()), sandbox_(shared ? *shared : *own_),
      terminal_(terminal == Terminal::Present)
{
    if (client == Client::StandIn)
        sandbox_.addRecorder(QStringLiteral("plink"));
    if (terminal_)
        sandbox_.addTerminal(QStringLiteral("x-terminal-emulator"));
    sandbox_.setPath(terminal_ ? Sandbox::Path::StandInsFirst : Sandbox::Path::StandInsOnly);
}

QString Workspace::serversFile() const
{
    return sandbox_.workDir() + QStringLiteral("/Servers.mdb");
}

std::optional<QList<ServerRecord>> Workspace::stored() const
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(serversFile()).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return std::nullopt;
    }
    sqlite3_stmt* stmt = nullptr;
    QList<ServerRecord> result;
    int rc = sqlite3_prepare_v2(db,
                                "SELECT ID, Domain, ServerHost, SSHPort, ServerPassword, "
                                "RAID_Status FROM Server ORDER BY ID",
                                -1, &stmt, nullptr);
    const auto text = [&](int column) {
        const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return QString::fromUtf8(chars ? chars : "");
    };
    while (rc == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
        ServerRecord record;
        record.id = sqlite3_column_int64(stmt, 0);
        record.domain = text(1);
        record.serverHost = text(2);
        record.sshPort = text(3);
        record.serverPassword = QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, 4)),
                                           sqlite3_column_bytes(stmt, 4));
        record.raidStatus = text(5);
        result.append(record);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        return std::nullopt;
    return result;
}

QByteArray Workspace::fileBytes() const
{
    QFile file(serversFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Workspace::waitForPlink(int timeoutMs) const
{
    return sandbox_.waitForCalls(QStringLiteral("plink"), 1, timeoutMs) &&
           (!terminal_ || waitForTerminal(timeoutMs));
}

QStringList Workspace::plinkArguments() const
{
    return sandbox_.calls(QStringLiteral("plink")).value(0).args;
}

QByteArray Workspace::plinkPasswordFile() const
{
    return sandbox_.calls(QStringLiteral("plink")).value(0).password.value_or(QString()).toUtf8();
}

QStringList Workspace::terminalArguments() const
{
    return sandbox_.calls(QStringLiteral("x-terminal-emulator")).value(0).args;
}

bool Workspace::waitForTerminal(int timeoutMs) const
{
    return sandbox_.waitForCalls(QStringLiteral("x-terminal-emulator"), 1, timeoutMs);
}

QByteArray Workspace::terminalOutput() const
{
    return sandbox_.calls(QStringLiteral("x-terminal-emulator")).value(0).output.toUtf8();
}
