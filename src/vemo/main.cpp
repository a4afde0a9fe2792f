#include "monitor/Main.h"
#include "KeySetting.h"
#include "StartOptions.h"
#include "common/QtMessageBox.h"
#include "common/ServerFileWait.h"
#include "platform/FolderLock.h"
#include "platform/MessageBox.h"
#include "platform/OpenFileLimit.h"
#include "platform/QuitOnSignals.h"
#include "probe/OutputFile.h"
#include "probe/PasswordFiles.h"
#include "probe/Runner.h"
#include "store/ServerFile.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (const std::optional<int> status = StartOptions::answerAtOnce(argc, argv))
        return *status;   // --help, --version: before Qt, so no display is needed
    raiseOpenFileLimit(); // before any client starts; best effort
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VEMO"));
    QApplication::setApplicationVersion(QStringLiteral(VEMO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(VEMO_APP_ID));
    installQtMessageBoxes();
    std::optional<QString> keySwitch;
    if (const std::optional<int> status =
            StartOptions::apply(QApplication::arguments().mid(1), &keySwitch))
        return *status; // an unknown switch, or a data folder it cannot enter
    quitOnTerminationSignals();
    // A password file of a run that was killed must not wait for the next login.
    PasswordFiles::removeStaleFolders();

    const QString title = QStringLiteral("Quillfern Remote Server Monitor");
    if (const QString refusal = takeWorkingFolderLock(); !refusal.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(refusal));
        MessageBox::ask(refusal, title, MessageBox::Critical);
        return 1;
    }
    const KeySetting::Choice key = KeySetting::choose(keySwitch);
    if (!key.problem.isEmpty()) {
        std::fprintf(stderr, "vemo: %s\n", qPrintable(key.problem));
        MessageBox::ask(key.problem, title,
                        key.refused ? MessageBox::Critical : MessageBox::Information);
        if (key.refused || terminationRequested())
            return key.refused ? 1 : 0;
    }
    Runner::instance().setKeyFile(key.keyFile);

    const QString fileName = QString::fromLatin1(ServerFile::DefaultName);
    if (const QString said = ServerFile::makePrivate(fileName); !said.isEmpty())
        std::fprintf(stderr, "vemo: %s\n", qPrintable(said));
    const StoreStatus status = openServerFileWaitingForLock(fileName, title);
    if (terminationRequested())
        return 0; // during the wait's box
    if (!status.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(status.message));
        if (status.error != StoreError::Locked) // the wait's own message said so
            MessageBox::ask(status.message, title, MessageBox::Critical);
        return 1;
    }
    // Said once here; each check then names the cause in its row.
    const QString checkProblem = outputFolderProblem();
    QStringList problems{ServerFile::writeProblem(fileName), checkProblem};
    problems.removeAll(QString());
    if (!problems.isEmpty())
        MessageBox::ask(problems.join(QStringLiteral("\n\n")), title,
                        checkProblem.isEmpty() ? MessageBox::Information : MessageBox::Critical);
    if (terminationRequested())
        return 0; // a signal closed the box: the program ends, as it would later

    Main window(fileName);
    window.setMaxRunningChecks(checkFanOut());
    window.showAndActivate();
    return app.exec();
}
