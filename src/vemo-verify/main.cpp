// vemo-verify PROGRAM [ARGUMENT...]
//
// Runs the verification client inside its terminal window, in place of a
// shell: it starts PROGRAM with its arguments, waits for it and, when it
// fails, keeps the window open with the client's messages and one line that
// says so, until the user presses Enter or closes the window. After a client
// that succeeded the window closes at once.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: vemo-verify PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    // Ctrl-C in the window ends the client, not this program, so the
    // failure is still shown.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    struct sigaction oldInterrupt = {}, oldQuit = {};
    ::sigaction(SIGINT, &ignore, &oldInterrupt);
    ::sigaction(SIGQUIT, &ignore, &oldQuit);

    const pid_t child = ::fork();
    if (child == 0) {
        ::sigaction(SIGINT, &oldInterrupt, nullptr);
        ::sigaction(SIGQUIT, &oldQuit, nullptr);
        ::execvp(argv[1], argv + 1);
        std::fprintf(stderr, "%s cannot be started: %s\n", argv[1], std::strerror(errno));
        ::_exit(127);
    }
    int status = 0;
    if (child < 0) {
        std::fprintf(stderr, "%s cannot be started: %s\n", argv[1], std::strerror(errno));
        status = -1;
    } else {
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return 0;

    char how[64] = "could not be started";
    if (child > 0 && WIFEXITED(status))
        std::snprintf(how, sizeof how, "exited with code %d", WEXITSTATUS(status));
    else if (child > 0 && WIFSIGNALED(status))
        std::snprintf(how, sizeof how, "was ended by signal %d", WTERMSIG(status));
    const char* name = std::strrchr(argv[1], '/');
    std::printf("\nThe verification failed (%s %s). Press Enter to close this window.\n",
                name ? name + 1 : argv[1], how);
    std::fflush(stdout);
    ::sigaction(SIGINT, &oldInterrupt, nullptr);
    for (int c = std::getchar(); c != EOF && c != '\n'; c = std::getchar()) {
    }
    return 1;
}
