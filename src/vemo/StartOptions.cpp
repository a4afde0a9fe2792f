#include "StartOptions.h"
#include "platform/MessageBox.h"

#include <QDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace StartOptions
{

namespace
{

const QString DataFolderSwitch = QStringLiteral("--data-folder");
const QString KeySwitch = QStringLiteral("--key");

// Qt's own options, as its application classes take them out of the command
// line (one or two leading dashes): those followed by a value, then flags.
const QStringList QtValueOptions{"platform",
                                 "platformpluginpath",
                                 "platformtheme",
                                 "plugin",
                                 "qwindowgeometry",
                                 "qwindowicon",
                                 "qwindowtitle",
                                 "session",
                                 "display",
                                 "geometry",
                                 "style",
                                 "stylesheet",
                                 "qmljsdebugger",
                                 "title",
                                 "icon",
                                 "name",
                                 "visual"};
const QStringList QtFlags{"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

// The name of a Qt option without its dashes and any "=value", or empty when
// the argument is not one.
QString qtOptionName(const QString& argument)
{
    if (!argument.startsWith(QLatin1Char('-')) || argument.startsWith(QLatin1String("---")))
        return {};
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    name = name.left(name.indexOf(QLatin1Char('=')));
    return QtValueOptions.contains(name) || QtFlags.contains(name) ? name : QString();
}

// The platforms that draw on a display server; the others (offscreen, vnc,
// linuxfb, eglfs...) need none.
bool needsDisplayServer(const QString& platforms)
{
    if (platforms.isEmpty())
        return true; // Qt picks xcb or wayland
    for (const QString& platform : platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = platform.section(QLatin1Char(':'), 0, 0);
        if (name != QLatin1String("xcb") && !name.startsWith(QLatin1String("wayland")))
            return false;
    }
    return true;
}

struct Switches {
    bool useDataFolder = false;
    std::optional<QString> key;
    QString platform;          // -platform's value, if given
    bool displayNamed = false; // -display
    QString problem;           // the first argument refused, said as vemo says it
};

Switches parse(const QStringList& arguments)
{
    Switches switches;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == DataFolderSwitch) {
            switches.useDataFolder = true;
            continue;
        }
        if (argument.startsWith(KeySwitch + QLatin1Char('='))) {
            switches.key = argument.mid(KeySwitch.size() + 1);
            continue;
        }
        if (argument == KeySwitch && i + 1 < arguments.size()) {
            switches.key = arguments[++i];
            continue;
        }
        if (const QString qt = qtOptionName(argument); !qt.isEmpty()) {
            QString value;
            if (argument.contains(QLatin1Char('=')))
                value = argument.section(QLatin1Char('='), 1);
            else if (QtValueOptions.contains(qt) && i + 1 < arguments.size())
                value = arguments[++i];
            if (qt == QLatin1String("platform"))
                switches.platform = value;
            switches.displayNamed |= qt == QLatin1String("display");
            continue;
        }
        const char* kind = argument == KeySwitch                   ? "switch without its file"
                           : argument.startsWith(QLatin1Char('-')) ? "unknown switch"
                                                                   : "unexpected argument";
        switches.problem = QStringLiteral("vemo: %1 '%2'\nTry 'vemo --help' for the switches "
                                          "vemo knows.\n")
                               .arg(QLatin1String(kind), argument);
        return switches;
    }
    return switches;
}

bool asksForHelp(const QString& argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

bool asksForVersion(const QString& argument)
{
    return argument == QLatin1String("--version");
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Makes every missing folder of path with mode 0700 (less the umask), as the
// XDG base directory rules ask; folders that exist are left as they are.
QString makeFolders(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    for (qsizetype end = native.indexOf('/', 1);; end = native.indexOf('/', end + 1)) {
        const QByteArray part = end < 0 ? native : native.left(end);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST)
            return QStringLiteral("Cannot make the folder %1: %2")
                .arg(QFile::decodeName(part), errnoText());
        if (end < 0)
            return {};
    }
}

} // namespace

QString dataFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/vemo"));
}

QString helpText()
{
    return QStringLiteral(
               "Usage: vemo [--data-folder] [--key FILE]\n"
               "Quillfern Remote Server Monitor: checks Linux servers over SSH with PuTTY's\n"
               "plink and shows their uptime, software RAID and nightly backup.\n"
               "\n"
               "  --data-folder  work in the data folder %1\n"
               "                 ($XDG_DATA_HOME/vemo, else ~/.local/share/vemo), made with\n"
               "                 mode 0700 if missing (the desktop launcher uses this)\n"
               "  --key FILE     log in with the private key FILE (PuTTY's .ppk, without a\n"
               "                 passphrase) where no SSH agent holds the key; kept in\n"
               "                 vemo.conf in that folder for later starts (--key \"\" forgets\n"
               "                 it); servers stored without a password log in by key only\n"
               "  -h, --help     show this help and exit\n"
               "  --version      show the version and exit\n"
               "Qt's own options (-platform, -style, -reverse...) are accepted too.\n"
               "\n"
               "The servers file is Servers.mdb in the folder vemo works in: the current\n"
               "folder, or the data folder with --data-folder. A missing file is created;\n"
               "the checks' temporary files are written beside it.\n")
        .arg(dataFolder());
}

std::optional<int> answerAtOnce(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (asksForHelp(argument)) {
            std::fputs(qPrintable(helpText()), stdout);
            return 0;
        }
        if (asksForVersion(argument)) {
            std::puts("VEMO " VEMO_VERSION);
            return 0;
        }
    }
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Switches switches = parse(arguments);
    if (!switches.problem.isEmpty()) {
        std::fputs(qPrintable(switches.problem), stderr);
        return 2;
    }
    const QString platform =
        switches.platform.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM") : switches.platform;
    if (needsDisplayServer(platform) && !switches.displayNamed &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("vemo: vemo is a desktop program and needs a display (neither DISPLAY nor "
                   "WAYLAND_DISPLAY is set); for checks without one use vemo-check.\n",
                   stderr);
        return 1;
    }
    return std::nullopt;
}

std::optional<int> apply(const QStringList& arguments, std::optional<QString>* keySwitch)
{
    const Switches switches = parse(arguments);
    *keySwitch = switches.key;
    if (!switches.problem.isEmpty()) { // answerAtOnce refuses these before Qt starts
        std::fputs(qPrintable(switches.problem), stderr);
        return 2;
    }
    if (!switches.useDataFolder)
        return std::nullopt;

    const QString folder = dataFolder();
    QString problem = makeFolders(folder);
    if (problem.isEmpty() && ::chdir(QFile::encodeName(folder).constData()) != 0)
        problem = QStringLiteral("Cannot work in the folder %1: %2").arg(folder, errnoText());
    if (problem.isEmpty())
        return std::nullopt;
    std::fprintf(stderr, "vemo: %s\n", qPrintable(problem));
    MessageBox::ask(problem, QStringLiteral("Quillfern Remote Server Monitor"),
                    MessageBox::Critical);
    return 1;
}

} // namespace StartOptions
