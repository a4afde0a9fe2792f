#include "support/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace
{

std::optional<QByteArray> takeEnv(const char* name)
{
    if (!qEnvironmentVariableIsSet(name))
        return std::nullopt;
    return qgetenv(name);
}

void restoreEnv(const char* name, const std::optional<QByteArray>& value)
{
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

// The record is one JSON line, appended with a single write once all is done.
const char StandInScript[] = R"(#!/usr/bin/python3
import json, os, subprocess, sys
args = sys.argv[1:]
entry = {"args": args, "puttydir": os.environ.get("PUTTYDIR")}
if "-pwfile" in args and args.index("-pwfile") + 1 < len(args):
    try:
        with open(args[args.index("-pwfile") + 1], encoding="utf-8") as f:
            entry["pw"] = f.read()
    except OSError:
        pass
if TERMINAL:
    command = args[2:] if args[:1] == ["-T"] else args
    if command[:1] != ["-e"] or len(command) < 2:
        sys.exit(1)
    env = {k: v for k, v in os.environ.items() if not k.startswith("PUTTY")}
    done = subprocess.run(command[1:], env=env, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    entry["output"] = done.stdout.decode("utf-8", "replace")
line = (json.dumps(entry) + "\n").encode()
name = os.path.basename(sys.argv[0])
fd = os.open(os.path.join(RECORDS, name + ".jsonl"), os.O_WRONLY | os.O_APPEND | os.O_CREAT)
os.write(fd, line)
os.close(fd)
)";

} // namespace

Sandbox::Sandbox()
{
    for (const QTemporaryDir* dir : {&home_, &puttyDir_, &workDir_, &bin_, &records_}) {
        if (!dir->isValid())
            error_ = QStringLiteral("cannot create the temporary folders");
    }
    if (!ok())
        return;
    previousHome_ = takeEnv("HOME");
    previousPuttyDir_ = takeEnv("PUTTYDIR");
    previousPath_ = takeEnv("PATH");
    // The clients must not reach the session's own agent: a test starts its own.
    previousAgent_ = takeEnv("SSH_AUTH_SOCK");
    qunsetenv("SSH_AUTH_SOCK");
    qputenv("HOME", QFile::encodeName(home()));
    qputenv("PUTTYDIR", QFile::encodeName(puttyDir()));
    previousDir_ = QDir::currentPath();
    QDir::setCurrent(workDir());
}

Sandbox::~Sandbox()
{
    if (previousDir_.isEmpty())
        return;
    QDir::setCurrent(previousDir_);
    restoreEnv("HOME", previousHome_);
    restoreEnv("PUTTYDIR", previousPuttyDir_);
    restoreEnv("PATH", previousPath_);
    restoreEnv("SSH_AUTH_SOCK", previousAgent_);
}

void Sandbox::setPath(Path path)
{
    const QByteArray bin = QFile::encodeName(bin_.path());
    if (path == Path::Kept)
        restoreEnv("PATH", previousPath_);
    else if (path == Path::StandInsOnly || !previousPath_)
        qputenv("PATH", bin);
    else
        qputenv("PATH", bin + ':' + *previousPath_);
}

bool Sandbox::addRecorder(const QString& name)
{
    return writeStandIn(name, false);
}

bool Sandbox::addTerminal(const QString& name)
{
    return writeStandIn(name, true);
}

bool Sandbox::writeStandIn(const QString& name, bool terminal)
{
    const QByteArray records =
        QJsonDocument(QJsonArray{records_.path()}).toJson(QJsonDocument::Compact);
    QByteArray script(StandInScript);
    script.replace("TERMINAL", terminal ? "True" : "False");
    script.replace("RECORDS", records.mid(1, records.size() - 2)); // a JSON string is Python's too
    QFile file(bin_.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size()) {
        error_ = QStringLiteral("cannot write the stand-in ") + name;
        return false;
    }
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QList<StandInCall> Sandbox::calls(const QString& name) const
{
    QList<StandInCall> calls;
    QFile file(records_.filePath(name + QStringLiteral(".jsonl")));
    if (!file.open(QIODevice::ReadOnly))
        return calls;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.isEmpty())
            continue;
        StandInCall call;
        for (const QJsonValue& arg : record[QLatin1String("args")].toArray())
            call.args << arg.toString();
        if (record.contains(QLatin1String("pw")))
            call.password = record[QLatin1String("pw")].toString();
        call.puttyDir = record[QLatin1String("puttydir")].toString();
        call.output = record[QLatin1String("output")].toString();
        calls << call;
    }
    return calls;
}

bool Sandbox::waitForCalls(const QString& name, int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return calls(name).size() >= count; }, timeoutMs);
}
