// Command lines as values, the output-file reading convention, the password
// files and the failure reasons read from a client's standard error.
#include "probe/ClientReason.h"
#include "probe/CommandLine.h"
#include "probe/OutputFile.h"
#include "probe/PasswordFiles.h"
#include "support/Processes.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace
{

const QString PasswordFile = QStringLiteral("/run/vemo-pw-x/pw-1");

void writeBytes(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestProbeFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void commandLines_data();
    void commandLines();
    void keyLoginArguments();
    void probeCommandText();
    void hostileValuesStayWhole_data();
    void hostileValuesStayWhole();
    void domainFileNames_data();
    void domainFileNames();

    void readOutput_data();
    void readOutput();
    void readMissingFile();
    void readRefusesNamesOutsideWorkingDirectory_data();
    void readRefusesNamesOutsideWorkingDirectory();

    void passwordFiles();
    void unremovableFileIsReportedAndRetried();
    void staleFoldersOfDeadRunsGo();
    void passwordFileProblems_data();
    void passwordFileProblems();

    void failureReasons_data();
    void failureReasons();

private:
    std::unique_ptr<QTemporaryDir> work_;
    QString previousDir_;
};

void TestProbeFiles::init()
{
    work_ = std::make_unique<QTemporaryDir>();
    QVERIFY(work_->isValid());
    QVERIFY(QDir().mkpath(work_->filePath("cwd")));
    previousDir_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work_->filePath("cwd")));
}

void TestProbeFiles::cleanup()
{
    QDir::setCurrent(previousDir_);
    work_.reset();
}

void TestProbeFiles::commandLines_data()
{
    QTest::addColumn<CommandLine>("line");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("outputFile");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("wait");

    const QStringList head{"-P", "2222", "-pwfile", PasswordFile, "root@host.example.net"};
    QTest::newRow("server check") << ServerCheckLine("2222", "s3cret", "host.example.net",
                                                     "example.org")
                                  << "plink" << head + QStringList{ProbeCommand}
                                  << "~karu~example.org.tmp" << false << true;
    QTest::newRow("RAID re-check")
        << RaidRecheckLine("2222", "s3cret", "host.example.net") << "plink"
        << head + QStringList{"cat /proc/mdstat"} << "~karu2.tmp" << false << true;
    QTest::newRow("verification run")
        << VerificationLine("2222", "s3cret", "host.example.net", "example.org") << "plink"
        << head.mid(0, 4) + QStringList{"-no-antispoof", "root@host.example.net",
                                        "echo Server Verified!;sleep 2"}
        << "" << true << false;
    QTest::newRow("interactive login") << InteractiveLoginLine("2222", "s3cret", "host.example.net")
                                       << "putty" << head << "" << true << false;
}

void TestProbeFiles::commandLines()
{
    QFETCH(CommandLine, line);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, outputFile);
    QFETCH(bool, visible);
    QFETCH(bool, wait);

    QCOMPARE(line.program, program);
    QCOMPARE(line.arguments(PasswordFile), arguments);
    QCOMPARE(line.outputFile, outputFile);
    QCOMPARE(line.windowStyle, visible ? WindowStyle::Normal : WindowStyle::Hidden);
    QCOMPARE(line.wait, wait);
    QCOMPARE(line.password, QStringLiteral("s3cret"));
    QVERIFY(line.problem.isEmpty());
    // The password is handed over in its file only.
    for (const QString& argument : line.arguments(PasswordFile))
        QVERIFY2(!argument.contains("s3cret"), qPrintable(argument));
}

void TestProbeFiles::keyLoginArguments()
{
    CommandLine line = ServerCheckLine("22", "", "h", "d");
    line.keyFile = "/keys/root.ppk";
    // No password: no -pwfile at all, so plink tries the agent and the key only.
    QCOMPARE(line.arguments({}),
             (QStringList{"-P", "22", "-i", "/keys/root.ppk", "root@h", ProbeCommand}));
    line.password = "pw";
    QCOMPARE(line.arguments(PasswordFile),
             (QStringList{"-P", "22", "-i", "/keys/root.ppk", "-pwfile", PasswordFile, "root@h",
                          ProbeCommand}));
}

void TestProbeFiles::probeCommandText()
{
    // Uptime seconds, both backup reports and mdstat, each step run whatever
    // the others do; two backquotes and two apostrophes.
    const QString expected = QString::fromUtf8(
        R"(echo $((`cut -f1 -d' ' /proc/uptime | cut -f1 -d.`));cat /root/backupreport;)"
        R"(cat /root/backupreport.success;cat /proc/mdstat)");
    QCOMPARE(ProbeCommand, expected);
    QCOMPARE(ProbeCommand.count('`'), 2);
    QCOMPARE(ProbeCommand.count('\''), 2);
    QCOMPARE(RaidTempFileName, QStringLiteral("~karu2.tmp"));
    QCOMPARE(CheckTempFileName("example.org"), QStringLiteral("~karu~example.org.tmp"));
}

void TestProbeFiles::hostileValuesStayWhole_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("blanks") << "a b  c";
    QTest::newRow("quotes") << "a\"b'c";
    QTest::newRow("command separators") << "x;touch marker&&touch m2|cat&";
    QTest::newRow("substitutions") << "$(touch marker)`touch marker`${HOME}";
    QTest::newRow("redirection") << ">out <in 2>&1";
    QTest::newRow("option-like") << "-proxycmd touch marker";
}

void TestProbeFiles::hostileValuesStayWhole()
{
    QFETCH(QString, value);
    const CommandLine check = ServerCheckLine(value, value, value, "example.org");
    QCOMPARE(check.arguments(PasswordFile),
             (QStringList{"-P", value, "-pwfile", PasswordFile, "root@" + value, ProbeCommand}));
    const QStringList login = InteractiveLoginLine(value, value, value).arguments(PasswordFile);
    QCOMPARE(login, (QStringList{"-P", value, "-pwfile", PasswordFile, "root@" + value}));
}

void TestProbeFiles::domainFileNames_data()
{
    QTest::addColumn<QString>("domain");
    QTest::addColumn<bool>("fit");
    QTest::newRow("plain") << "example.org" << true;
    QTest::newRow("blanks and shell characters") << "a b;c$(d)`e`|&'\"" << true;
    QTest::newRow("dots inside") << "...a.." << true;
    QTest::newRow("non-ASCII") << "bücher.example" << true;
    QTest::newRow("slash") << "a/b" << false;
    QTest::newRow("climbing out") << "../../etc/passwd" << false;
    QTest::newRow("absolute") << "/tmp/x" << false;
    QTest::newRow("backslash") << "a\\b" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("NUL") << QString("a") + QChar(0) + "b" << false;
    QTest::newRow("tab") << "a\tb" << false;
    QTest::newRow("line feed") << "a\nb" << false;
    QTest::newRow("DEL") << "a\x7f" << false;
    QTest::newRow("C1 control") << QString("a") + QChar(0x85) << false;
    // "~karu~" and ".tmp" take 10 of the 255 bytes a file name may have.
    QTest::newRow("longest") << QString(245, 'a') << true;
    QTest::newRow("one byte too long") << QString(246, 'a') << false;
    QTest::newRow("too long in UTF-8") << QString(123, QChar(0xe9)) << false;
}

void TestProbeFiles::domainFileNames()
{
    QFETCH(QString, domain);
    QFETCH(bool, fit);
    QCOMPARE(!domainFileNameProblem(domain).has_value(), fit);
    const CommandLine line = ServerCheckLine("22", "pw", "h", domain);
    QCOMPARE(line.problem.isEmpty(), fit);
    if (fit)
        QVERIFY(!outputFileNameProblem(line.outputFile).has_value());
}

void TestProbeFiles::readOutput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("hasText");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QByteArray() << false << QString();
    QTest::newRow("LF lines kept") << QByteArray("123\n0\nmonday\n") << true << "123\n0\nmonday\n";
    QTest::newRow("no final LF") << QByteArray("123") << true << "123";
    QTest::newRow("cut at CR LF") << QByteArray("123\r\n0\r\n") << true << "123";
    QTest::newRow("cut at lone CR") << QByteArray("123\n0\rrest\n") << true << "123\n0";
    QTest::newRow("CR first: a line, but empty") << QByteArray("\rrest") << true << "";
    QTest::newRow("NUL passes") << QByteArray("1\0002\n", 4) << true
                                << QString("1") + QChar(0) + "2\n";
    QTest::newRow("UTF-8") << QByteArray("Gr\xc3\xbc\xc3\x9f"
                                         "e\n")
                           << true << "Grüße\n";
    QTest::newRow("CR inside a UTF-8 text")
        << QByteArray("\xc3\xa9t\xc3\xa9\r\xc3\xa9") << true << "été";
}

void TestProbeFiles::readOutput()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, hasText);
    QFETCH(QString, text);

    const QString name = CheckTempFileName("example.org");
    writeBytes(name, bytes);
    const OutputRead read = readOutputFile(name);
    QCOMPARE(read.hasText, hasText);
    QCOMPARE(read.text, text);
    QVERIFY(!QFile::exists(name)); // deleted in every outcome
}

void TestProbeFiles::readMissingFile()
{
    const OutputRead read = readOutputFile(RaidTempFileName);
    QVERIFY(!read.hasText);
    QVERIFY(read.text.isEmpty());
    QVERIFY(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

void TestProbeFiles::readRefusesNamesOutsideWorkingDirectory_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << "../outside.tmp";
    QTest::newRow("through a folder") << "~karu~/../../outside.tmp";
    QTest::newRow("absolute") << "<absolute>";
}

void TestProbeFiles::readRefusesNamesOutsideWorkingDirectory()
{
    QFETCH(QString, name);
    QVERIFY(QDir().mkpath("~karu~"));
    const QString outside = work_->filePath("outside.tmp");
    if (name == "<absolute>")
        name = outside;
    writeBytes(outside, "keep me\n");
    const OutputRead read = readOutputFile(name);
    QVERIFY(!read.hasText);
    QVERIFY(QFile::exists(outside)); // neither read nor deleted
}

void TestProbeFiles::passwordFiles()
{
    const QByteArray previousRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(work_->path()));
    PasswordFiles files;
    const auto first = files.write(QString::fromUtf8("pä ss;$(x)"));
    const auto second = files.write("other");
    qputenv("XDG_RUNTIME_DIR", previousRuntime);
    QVERIFY2(first.problem.isEmpty(), qPrintable(first.problem));
    QVERIFY(second.problem.isEmpty());
    QVERIFY(first.path != second.path);

    const QString folder = files.folder();
    QVERIFY(folder.startsWith(work_->path() + "/vemo-pw-"));
    QCOMPARE(QFileInfo(first.path).absolutePath(), folder);
    QCOMPARE(modeOf(folder), 0700);
    QCOMPARE(modeOf(first.path), 0600);
    QFile file(first.path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("p\xc3\xa4 ss;$(x)\n")); // UTF-8, first line

    files.remove(first.path);
    QVERIFY(!QFile::exists(first.path));
    QVERIFY(QFile::exists(second.path));
    files.removeAll();
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(files.folder().isEmpty());
}

void TestProbeFiles::unremovableFileIsReportedAndRetried()
{
    const QByteArray previousRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(work_->path()));
    PasswordFiles files;
    const auto written = files.write("pw");
    qputenv("XDG_RUNTIME_DIR", previousRuntime);
    QVERIFY(written.problem.isEmpty());
    // An immutable folder: not even root may remove a file from it.
    const auto chattr = [&](const char* flag) {
        return QProcess::execute("chattr", {flag, files.folder()}) == 0;
    };
    if (!chattr("+i"))
        QSKIP("chattr +i is not supported here");
    // Standard error into a file for the call.
    QTemporaryFile said;
    QVERIFY(said.open());
    const int savedStderr = ::dup(STDERR_FILENO);
    ::dup2(said.handle(), STDERR_FILENO);
    files.remove(written.path);
    std::fflush(stderr);
    ::dup2(savedStderr, STDERR_FILENO);
    ::close(savedStderr);
    QVERIFY(chattr("-i"));
    QVERIFY(QFile::exists(written.path));
    said.seek(0); // the descriptor shared its offset with standard error
    const QByteArray report = said.readAll();
    QVERIFY2(report.contains("cannot remove the password file \"" +
                             QFile::encodeName(written.path) + "\": "),
             report.constData());
    // At exit it is tried again.
    files.removeAll();
    QVERIFY(!QFileInfo::exists(written.path));
}

void TestProbeFiles::staleFoldersOfDeadRunsGo()
{
    const qint64 deadPid = endedProcessId();
    QVERIFY(deadPid > 0 && ::kill(pid_t(deadPid), 0) != 0);
    QProcess alive;
    alive.start("/bin/sleep", {"60"});
    QVERIFY(alive.waitForStarted());

    const QString base = work_->path();
    const QString stale = base + QStringLiteral("/vemo-pw-%1-abcdef").arg(deadPid);
    const QString live = base + QStringLiteral("/vemo-pw-%1-abcdef").arg(alive.processId());
    const QString other = base + "/vemo-pw-notanumber-abcdef";
    for (const QString& folder : {stale, live, other}) {
        QVERIFY(QDir().mkpath(folder));
        writeBytes(folder + "/pw-1", "old\n");
    }

    const QByteArray previousRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(base));
    PasswordFiles files;
    const auto written = files.write("pw");
    qputenv("XDG_RUNTIME_DIR", previousRuntime);
    alive.kill();
    alive.waitForFinished();

    QVERIFY(written.problem.isEmpty());
    QVERIFY(files.folder().startsWith(base + QStringLiteral("/vemo-pw-%1-").arg(::getpid())));
    QVERIFY(!QFileInfo::exists(stale));
    QVERIFY(QFileInfo::exists(live + "/pw-1"));
    QVERIFY(QFileInfo::exists(other + "/pw-1"));
}

void TestProbeFiles::passwordFileProblems_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("fit");
    QTest::newRow("plain") << "secret" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("blanks and symbols") << " a b ;'\"$`\\ " << true;
    QTest::newRow("Latin-1 letters") << QString::fromLatin1("\xe4\xff\xa0") << true;
    QTest::newRow("line feed") << "a\nb" << false;
    QTest::newRow("carriage return at the end") << "ab\r" << false;
    QTest::newRow("NUL") << QString("a") + QChar(0) << false;
}

void TestProbeFiles::passwordFileProblems()
{
    QFETCH(QString, password);
    QFETCH(bool, fit);
    QCOMPARE(!passwordFileProblem(password).has_value(), fit);
}

void TestProbeFiles::failureReasons_data()
{
    QTest::addColumn<QByteArray>("standardError");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<bool>("crashed");
    QTest::addColumn<LoginWays>("ways");
    QTest::addColumn<QString>("reason");

    // What plink 0.78 writes in each case.
    const LoginWays password{false, {}, true};
    const QByteArray wrongPassword("Access denied\nFATAL ERROR: Configured password was not "
                                   "accepted\n");
    // Without -pwfile, once the keys are refused: a prompt that reads the empty input.
    const QByteArray prompted("root@127.0.0.1's password: ");
    QTest::newRow("refused connection")
        << QByteArray("FATAL ERROR: Network error: Connection refused\n") << 1 << false << password
        << "Connection refused";
    QTest::newRow("wrong password") << wrongPassword << 1 << false << password
                                    << "Access denied: password, no SSH agent or key file";
    QTest::newRow("agent and password refused")
        << wrongPassword << 1 << false << LoginWays{true, {}, true}
        << "Access denied: key from the agent, password";
    QTest::newRow("agent key refused, no password")
        << prompted << 0 << false << LoginWays{true, {}, false}
        << "Access denied: key from the agent, no password stored";
    QTest::newRow("key file refused") << QByteArray("Server refused our key\n") + prompted << 0
                                      << false << LoginWays{false, "/keys/root.ppk", false}
                                      << "Access denied: key file root.ppk, no password stored";
    QTest::newRow("key file unusable")
        << QByteArray("Unable to use key file \"/keys/id\" (OpenSSH SSH-2 private key (new "
                      "format))\n") +
               prompted
        << 0 << false << LoginWays{false, "/keys/id", false}
        << "Access denied: key file id unusable: OpenSSH SSH-2 private key (new format), no "
           "password stored";
    QTest::newRow("nothing to log in with")
        << prompted << 0 << false << LoginWays{}
        << "Access denied: no SSH agent or key file, no password stored";
    QTest::newRow("unknown host key")
        << QByteArray("The host key is not cached for this server:\n  127.0.0.1 (port 2222)\n"
                      "Store key in cache? (y/n, Return cancels connection, i for more info) "
                      "Connection abandoned.\n")
        << 0 << false << password << "host key not yet trusted";
    QTest::newRow("changed host key")
        << QByteArray("WARNING - POTENTIAL SECURITY BREACH!\nThe host key does not match the one "
                      "PuTTY has cached for this server.\nConnection abandoned.\n")
        << 0 << false << password << "host key differs from the trusted one";
    QTest::newRow("other fatal error")
        << QByteArray("FATAL ERROR: Remote side unexpectedly closed network connection\n") << 1
        << false << password << "Remote side unexpectedly closed network connection";
    QTest::newRow("remote command failed")
        << QByteArray("cat: /proc/mdstat: No such file or directory\n") << 1 << false << password
        << "cat: /proc/mdstat: No such file or directory";
    QTest::newRow("silent failure")
        << QByteArray() << 2 << false << password << "plink exited with code 2";
    QTest::newRow("crash") << QByteArray() << 0 << true << password << "plink ended abnormally";
    QTest::newRow("success") << QByteArray() << 0 << false << password << "";
    QTest::newRow("success with remote chatter")
        << QByteArray("cat: /root/backupreport: No such file or directory\n") << 0 << false
        << password << "";
}

void TestProbeFiles::failureReasons()
{
    QFETCH(QByteArray, standardError);
    QFETCH(int, exitCode);
    QFETCH(bool, crashed);
    QFETCH(LoginWays, ways);
    QFETCH(QString, reason);
    QCOMPARE(clientFailureReason("plink", standardError, exitCode, crashed, ways), reason);
}

QTEST_GUILESS_MAIN(TestProbeFiles)
#include "TestProbeFiles.moc"
