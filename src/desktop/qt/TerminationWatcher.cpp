#include "TerminationWatcher.h"

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace orvelle::desktop::qt {
namespace {

// The write end of the self-pipe; the handler may only do async-signal-safe work.
int g_signalWriteFd = -1;
int g_signalReadFd = -1;

extern "C" void OnTerminationSignal(int /*signal*/) {
    const char byte = 1;
    // A full socket already holds a wake-up; losing this byte loses nothing.
    static_cast<void>(::write(g_signalWriteFd, &byte, 1));
}

}  // namespace

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent) {
    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) {
        return;  // without the pair the signals keep their default action
    }
    g_signalWriteFd = fds[0];
    g_signalReadFd = fds[1];
    notifier_ = std::make_unique<QSocketNotifier>(g_signalReadFd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationWatcher::OnReadable);
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

TerminationWatcher::~TerminationWatcher() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    notifier_.reset();
    if (g_signalReadFd >= 0) {
        ::close(g_signalReadFd);
        ::close(g_signalWriteFd);
        g_signalReadFd = g_signalWriteFd = -1;
    }
}

void TerminationWatcher::OnReadable() {
    char buffer[64];
    while (::read(g_signalReadFd, buffer, sizeof buffer) > 0) {
    }
    Q_EMIT terminationRequested();
}

}  // namespace orvelle::desktop::qt
