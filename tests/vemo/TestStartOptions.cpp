#include "KeySetting.h"
#include "monitor/MonitorIcon.h"
#include "support/Processes.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace
{

// A run of the real program with a private HOME, runtime folder and working
// folder, and no display unless the platform is named.
struct Run {
    QTemporaryDir home, runtime, work;
    QProcess program;

    explicit Run(const QString& platform, const QString& dataHome = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DATA_HOME"})
            env.remove(QLatin1String(name));
        if (!platform.isEmpty())
            env.insert("QT_QPA_PLATFORM", platform);
        if (!dataHome.isEmpty())
            env.insert("XDG_DATA_HOME", dataHome);
        env.insert("HOME", home.path());
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        QFile::setPermissions(runtime.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(work.path());
    }
};

// Every path under root, relative to it.
QStringList entriesUnder(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(root).relativeFilePath(it.next());
    found.sort();
    return found;
}

} // namespace

// The command line as users meet it, through the real program, and the
// launcher's data folder.
class TestStartOptions : public QObject
{
    Q_OBJECT
private slots:
    void switchesAnswer_data();
    void switchesAnswer();
    void launcherWorksInDataFolder_data();
    void launcherWorksInDataFolder();
    void unusableDataFolderIsReported();
    void keySettingOutlivesTheStart();
    void windowIconHasEveryInstalledSize();
};

void TestStartOptions::switchesAnswer_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("platform"); // empty: no display at all
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("inStdout");
    QTest::addColumn<QString>("stderrText");

    const QStringList help{"--data-folder", "Servers.mdb", "current\nfolder"};
    const QString unknown =
        "vemo: unknown switch '%1'\nTry 'vemo --help' for the switches vemo knows.\n";
    QTest::newRow("--version") << QStringList{"--version"} << "" << 0 << QStringList{"VEMO 1.00\n"}
                               << "";
    QTest::newRow("--help") << QStringList{"--help"} << "" << 0 << help << "";
    QTest::newRow("-h") << QStringList{"-h"} << "" << 0 << help << "";
    QTest::newRow("unknown switch")
        << QStringList{"--bogus"} << "offscreen" << 2 << QStringList{} << unknown.arg("--bogus");
    QTest::newRow("unknown switch, no display")
        << QStringList{"--bogus"} << "" << 2 << QStringList{} << unknown.arg("--bogus");
    const QString noDisplay = "vemo: vemo is a desktop program and needs a display (neither "
                              "DISPLAY nor WAYLAND_DISPLAY is set); for checks without one use "
                              "vemo-check.\n";
    QTest::newRow("no display") << QStringList{} << "" << 1 << QStringList{} << noDisplay;
    QTest::newRow("no display for the launcher") << QStringList{"--data-folder", "-style=Fusion"}
                                                 << "xcb" << 1 << QStringList{} << noDisplay;
    QTest::newRow("Qt's option stays Qt's")
        << QStringList{"-platform", "offscreen", "-reverse", "--data-folder", "-x"} << "" << 2
        << QStringList{} << unknown.arg("-x");
    QTest::newRow("--key without its file")
        << QStringList{"--key"} << "offscreen" << 2 << QStringList{}
        << "vemo: switch without its file '--key'\nTry 'vemo --help' for the switches vemo "
           "knows.\n";
    QTest::newRow("argument") << QStringList{"Servers.mdb"} << "offscreen" << 2 << QStringList{}
                              << "vemo: unexpected argument 'Servers.mdb'\n"
                                 "Try 'vemo --help' for the switches vemo knows.\n";
}

void TestStartOptions::switchesAnswer()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, platform);
    QFETCH(int, status);
    QFETCH(QStringList, inStdout);
    QFETCH(QString, stderrText);

    Run run(platform);
    run.program.start(VEMO_EXECUTABLE, arguments);
    QVERIFY(run.program.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(run.program.readAllStandardOutput());
    QCOMPARE(QString::fromLocal8Bit(run.program.readAllStandardError()), stderrText);
    QCOMPARE(run.program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.program.exitCode(), status);
    if (inStdout.isEmpty())
        QCOMPARE(out, QString());
    for (const QString& text : inStdout)
        QVERIFY2(out.contains(text), qPrintable(out));
    // Nothing was made: no servers file, no data folder.
    QCOMPARE(entriesUnder(run.work.path()), QStringList());
    QCOMPARE(entriesUnder(run.home.path()), QStringList());
}

void TestStartOptions::launcherWorksInDataFolder_data()
{
    QTest::addColumn<QString>("dataHome");        // relative to a temporary folder; "~" for HOME
    QTest::addColumn<QString>("folder");          // the data folder the program must make
    QTest::addColumn<QStringList>("homeBesides"); // what HOME holds outside it

    const QStringList parents{".local", ".local/share"};
    QTest::newRow("XDG_DATA_HOME unset") << ""
                                         << "~/.local/share/vemo" << parents;
    QTest::newRow("XDG_DATA_HOME relative, so ignored") << "relative"
                                                        << "~/.local/share/vemo" << parents;
    QTest::newRow("XDG_DATA_HOME set") << "/elsewhere/data"
                                       << "/elsewhere/data/vemo" << QStringList{};
}

void TestStartOptions::launcherWorksInDataFolder()
{
    QFETCH(QString, dataHome);
    QFETCH(QString, folder);
    QFETCH(QStringList, homeBesides);

    QTemporaryDir elsewhere;
    const auto place = [&](QString path) { return path.replace("/elsewhere", elsewhere.path()); };
    Run run("offscreen", place(dataHome));
    folder = place(folder).replace("~", run.home.path());

    // The command of the desktop entry, with this build's program.
    QSettings entry(VEMO_DESKTOP_FILE, QSettings::IniFormat);
    QStringList command = entry.value("Desktop Entry/Exec").toString().split(' ');
    QCOMPARE(command.takeFirst(), QString("vemo"));
    run.program.setProcessChannelMode(QProcess::ForwardedChannels);
    run.program.start(VEMO_EXECUTABLE, command);
    QVERIFY(run.program.waitForStarted());
    const QString servers = folder + "/Servers.mdb";
    QVERIFY(QTest::qWaitFor(
        [&] { return QFile::exists(servers) || run.program.state() == QProcess::NotRunning; },
        60000));
    QVERIFY2(QFile::exists(servers), "the program ended before it made its servers file");
    ::kill(pid_t(run.program.processId()), SIGTERM);
    QVERIFY(run.program.waitForFinished(20000));
    QCOMPARE(run.program.exitCode(), 0);

    QCOMPARE(modeOf(folder), 0700);
    for (const QString& parent : homeBesides)
        QCOMPARE(modeOf(run.home.filePath(parent)), 0700);
    QStringList besides = entriesUnder(run.home.path());
    const QString inHome = QDir(run.home.path()).relativeFilePath(folder);
    besides.removeIf(
        [&](const QString& path) { return path == inHome || path.startsWith(inHome + '/'); });
    QCOMPARE(besides, homeBesides);
    QCOMPARE(entriesUnder(run.work.path()), QStringList());
}

void TestStartOptions::unusableDataFolderIsReported()
{
    QTemporaryDir elsewhere;
    QFile file(elsewhere.filePath("file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    Run run("offscreen", file.fileName() + "/data");
    run.program.start(VEMO_EXECUTABLE, {"--data-folder"});
    QVERIFY(run.program.waitForStarted());

    // It says why on stderr and waits in its message box; it goes no further.
    const QString message =
        QString("vemo: Cannot make the folder %1/data: Not a directory\n").arg(file.fileName());
    QString said;
    QVERIFY(QTest::qWaitFor(
        [&] {
            said += QString::fromLocal8Bit(run.program.readAllStandardError());
            return said.contains('\n') || run.program.state() == QProcess::NotRunning;
        },
        60000));
    QCOMPARE(said.left(message.size()), message);
    QCOMPARE(run.program.state(), QProcess::Running);
    run.program.kill();
    QVERIFY(run.program.waitForFinished(20000));
    QCOMPARE(entriesUnder(run.work.path()), QStringList());
    QCOMPARE(entriesUnder(run.home.path()), QStringList());
    QCOMPARE(entriesUnder(elsewhere.path()), QStringList{"file"});
}

// --key keeps the key in the working folder for the launcher's later starts.
void TestStartOptions::keySettingOutlivesTheStart()
{
    QTemporaryDir work;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    const auto write = [](const char* name, const QByteArray& encryption) {
        QFile key(name);
        return key.open(QIODevice::WriteOnly) &&
               key.write("PuTTY-User-Key-File-3: ssh-ed25519\nEncryption: " + encryption + "\n") >
                   0;
    };
    QVERIFY(write("root.ppk", "none") && write("locked.ppk", "aes256-cbc"));
    const QString root = work.filePath("root.ppk");

    KeySetting::Choice chosen = KeySetting::choose(QString("root.ppk"));
    QCOMPARE(chosen.keyFile, root);
    QCOMPARE(chosen.problem, QString());
    QCOMPARE(KeySetting::choose(std::nullopt).keyFile, root);
    chosen = KeySetting::choose(QString("locked.ppk"));
    QVERIFY(chosen.refused && chosen.problem.contains("passphrase"));
    QCOMPARE(KeySetting::choose(std::nullopt).keyFile, root); // the kept key stays
    QVERIFY(QFile::remove(root));
    chosen = KeySetting::choose(std::nullopt);
    QVERIFY(!chosen.refused && chosen.keyFile.isEmpty());
    QVERIFY2(chosen.problem.contains("does not exist") &&
                 chosen.problem.contains("goes on without it"),
             qPrintable(chosen.problem));
    chosen = KeySetting::choose(QString()); // --key "" forgets it
    QVERIFY(chosen.keyFile.isEmpty() && chosen.problem.isEmpty());
    chosen = KeySetting::choose(std::nullopt);
    QVERIFY(chosen.keyFile.isEmpty() && chosen.problem.isEmpty());
    QVERIFY(QDir::setCurrent(previous));
}

void TestStartOptions::windowIconHasEveryInstalledSize()
{
    QList<QSize> sizes;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        sizes << QSize(size, size);
    QCOMPARE(monitorIcon().availableSizes(), sizes);
}

QTEST_MAIN(TestStartOptions)
#include "TestStartOptions.moc"
