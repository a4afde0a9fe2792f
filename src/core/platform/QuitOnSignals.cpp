#include "platform/QuitOnSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace
{

int wakeFds[2] = {-1, -1};
bool requested = false;

// Only async-signal-safe work here: the event loop does the rest. The
// interrupted code may read errno right after, so it is kept.
void onSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(wakeFds[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

void quitOnTerminationSignals()
{
    if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals then keep their default effect
    auto* notifier =
        new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char byte = 0;
        while (::read(wakeFds[0], &byte, 1) > 0) {
        }
        requested = true;
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

bool terminationRequested()
{
    return requested;
}
