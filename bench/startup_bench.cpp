// Start-up time: from starting the program to its main window being mapped.
// Runs the program N times on the X display of $DISPLAY (normally a private
// Xvfb started by bench/run-startup), each time in a fresh private home, and
// prints every time, the median and the budget.
//
//   startup_bench PROGRAM [RUNS]

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

std::string WindowName(Display* display, Window window) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        result = name;
        XFree(name);
    }
    return result;
}

// Seconds until a window named "Orvelle v2.1" is mapped, or a negative number.
double TimeOneStart(Display* display, const char* program, const std::string& home) {
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, True);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            const std::string folder = home + "/" + name;
            std::filesystem::create_directories(folder);
            setenv(name, folder.c_str(), 1);
        }
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    double seconds = -1;
    while (seconds < 0) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) {
            break;
        }
        if (XPending(display) == 0) {
            usleep(200);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && WindowName(display, event.xmap.window) == "Orvelle v2.1") {
            seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    }
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup_bench PROGRAM [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display) {
        std::fprintf(stderr, "cannot open the X display (is DISPLAY set?)\n");
        return 1;
    }
    const std::string root =
        std::filesystem::temp_directory_path() / ("orvelle-startup-" + std::to_string(getpid()));
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double seconds =
            TimeOneStart(display.get(), argv[1], root + "/" + std::to_string(run));
        if (seconds < 0) {
            std::fprintf(stderr, "run %d: no main window within 20 s\n", run + 1);
            std::filesystem::remove_all(root);
            return 1;
        }
        std::printf("run %2d: %.3f s\n", run + 1, seconds);
        times.push_back(seconds);
    }
    std::filesystem::remove_all(root);
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf(
        "start to main window shown: median %.3f s, best %.3f s, worst %.3f s "
        "(budget 0.500 s: %s)\n",
        median, times.front(), times.back(), median <= 0.5 ? "within" : "OVER");
    return 0;
}
