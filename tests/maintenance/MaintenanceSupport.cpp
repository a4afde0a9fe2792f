#include "MaintenanceSupport.h"

#include "store/Servers.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <sqlite3.h>

QByteArray scrambledForm(const QString& plain)
{
    QByteArray codes = plain.toLatin1();
    const auto key = static_cast<char>(codes.size());
    for (char& c : codes)
        c = static_cast<char>(c ^ key);
    return codes;
}

ServerRecord serverRecord(const QString& domain, const QString& host, const QString& port,
                          const QString& plain, const QString& raid)
{
    ServerRecord record;
    record.domain = domain;
    record.serverHost = host;
    record.sshPort = port;
    record.serverPassword = scrambledForm(plain);
    record.raidStatus = raid;
    return record;
}

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

Workspace::Workspace(Terminal terminal, Folders folders, Client client)
{
    for (const QTemporaryDir* dir : {&home_, &puttyDir_, &work_, &bin_, &record_}) {
        if (!dir->isValid())
            error_ = QStringLiteral("cannot create a temporary folder");
    }
    if (!ok())
        return;
    previousPath_ = qgetenv("PATH");
    terminal_ = terminal == Terminal::Present;
    // With no terminal the stand-ins' folder is all there is on PATH.
    qputenv("PATH", terminal == Terminal::Present
                        ? QFile::encodeName(bin_.path()) + ':' + previousPath_
                        : QFile::encodeName(bin_.path()));
    if (folders == Folders::Own) {
        restoreFolders_ = true;
        previousHome_ = qgetenv("HOME");
        previousPuttyDir_ = qgetenv("PUTTYDIR");
        qputenv("HOME", QFile::encodeName(home_.path()));
        qputenv("PUTTYDIR", QFile::encodeName(puttyDir_.path()));
        previousDir_ = QDir::currentPath();
        QDir::setCurrent(work_.path());
    }
    serversFile_ = QDir::current().filePath(QStringLiteral("Servers.mdb"));

    const QByteArray record = QFile::encodeName(record_.path());
    // plink: keeps its arguments and the password file's content, then ends;
    // nothing is ever contacted.
    const QByteArray plink =
        "#!/bin/sh\n"
        "out='" +
        record +
        "'\n"
        ": > \"$out/plink.args.part\"\n"
        "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$out/plink.args.part\"; done\n"
        "while [ $# -gt 0 ]; do\n"
        "  if [ \"$1\" = -pwfile ]; then /bin/cat \"$2\" > \"$out/plink.pw\"; fi\n"
        "  shift\n"
        "done\n"
        "/bin/mv \"$out/plink.args.part\" \"$out/plink.args\"\n";
    // The terminal: keeps its arguments, runs what follows -e (after a -T
    // title) and keeps what it printed.
    const QByteArray term =
        "#!/bin/sh\n"
        "out='" +
        record +
        "'\n"
        ": > \"$out/terminal.args\"\n"
        "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$out/terminal.args\"; done\n"
        "[ \"$1\" = -T ] && shift 2\n"
        "[ \"$1\" = -e ] || exit 1\n"
        "shift\n"
        "\"$@\" < /dev/null > \"$out/terminal.out.part\" 2>&1\n"
        "/bin/mv \"$out/terminal.out.part\" \"$out/terminal.out\"\n";
    if (client == Client::StandIn && !writeScript(QStringLiteral("plink"), plink))
        return;
    if (terminal == Terminal::Present) {
        writeScript(QStringLiteral("x-terminal-emulator"), term);
        writeScript(QStringLiteral("xterm"), term);
    }
}

Workspace::~Workspace()
{
    if (!previousPath_.isNull())
        qputenv("PATH", previousPath_);
    if (!restoreFolders_)
        return;
    QDir::setCurrent(previousDir_);
    qputenv("HOME", previousHome_);
    qputenv("PUTTYDIR", previousPuttyDir_);
}

bool Workspace::writeScript(const QString& name, const QByteArray& body)
{
    QFile file(bin_.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size()) {
        error_ = QStringLiteral("cannot write the stand-in ") + name;
        return false;
    }
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return true;
}

QString Workspace::serversFile() const
{
    return serversFile_;
}

bool Workspace::seed(const QList<ServerRecord>& records)
{
    Servers view(serversFile());
    if (!view.openStatus().ok())
        return false;
    for (const ServerRecord& record : records) {
        view.AddNew();
        ServerRecord& buffer = view.buffer();
        buffer = record;
        buffer.id = 0;
        if (!view.Update().ok())
            return false;
    }
    return true;
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
    const QString done = record_.filePath(QStringLiteral("plink.args"));
    const QString terminalDone = record_.filePath(QStringLiteral("terminal.out"));
    return QTest::qWaitFor(
        [&] { return QFile::exists(done) && (!terminal_ || QFile::exists(terminalDone)); },
        timeoutMs);
}

namespace
{

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList argumentLines(const QString& path)
{
    QStringList lines = QString::fromUtf8(readAll(path)).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

QStringList Workspace::plinkArguments() const
{
    return argumentLines(record_.filePath(QStringLiteral("plink.args")));
}

bool Workspace::waitForTerminal(int timeoutMs) const
{
    const QString done = record_.filePath(QStringLiteral("terminal.out"));
    return QTest::qWaitFor([&] { return QFile::exists(done); }, timeoutMs);
}

QByteArray Workspace::terminalOutput() const
{
    return readAll(record_.filePath(QStringLiteral("terminal.out")));
}

QByteArray Workspace::plinkPasswordFile() const
{
    return readAll(record_.filePath(QStringLiteral("plink.pw")));
}

QStringList Workspace::terminalArguments() const
{
    return argumentLines(record_.filePath(QStringLiteral("terminal.args")));
}

MessageLog::MessageLog()
{
    previous_ = MessageBox::setHandler([this](const MessageBox::Request& request) {
        requests_.append(request);
        if (!answers_.isEmpty())
            return answers_.takeFirst();
        return int(MessageBox::Ok);
    });
}

MessageLog::~MessageLog()
{
    MessageBox::setHandler(previous_);
}
