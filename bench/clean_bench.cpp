// Cleaning speed: the temporary-files step over a folder of 100 000 empty files in
// 1 000 folders, against `rm -rf` of an identical tree, in the same run and on the
// same file system. Prints both times (medians), their ratio and the budget.
//
//   clean_bench [FOLDER] [RUNS]      (FOLDER: where the trees are made, default $TMPDIR
//                                     or /tmp; RUNS: default 3)

#include "CleaningHost.h"
#include "CleaningLog.h"
#include "FakeTraceCatalog.h"
#include "FolderErasers.h"
#include "PosixFolderTree.h"
#include "ThrottledEventPump.h"
#include "os/ShellFolders.h"
#include "os/TempPath.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace orvelle;
using Clock = std::chrono::steady_clock;

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 100;
constexpr double kBudget = 1.5;

// The program's own surroundings of the step, doing nothing measurable.
class NullLog final : public cleaning::ILogSink {
public:
    void Clear() override {}
    void SetColour(cleaning::LogColour) override {}
    [[nodiscard]] std::string SelectedText() const override { return {}; }
    void InsertAtCaret(const std::string& text) override { entries += text; }
    void Repaint() override {}
    std::string entries;
};

class CountingPump final : public os::IEventPump {
public:
    void DoEvents() override { ++calls; }
    long calls = 0;
};

class QuietHost final : public cleaning::ICleaningHost {
public:
    [[nodiscard]] bool IsSchedulePending() const override { return false; }
    void ShowMainPage() override {}
    void SetScheduleTimerEnabled(bool) override {}
    void SetScheduleEnableTimerEnabled(bool) override {}
    void SetLastRunTime(const std::string&) override {}
    void SetStatus(const std::string&) override {}
};

class NoSpecialFolders final : public os::IShellFolders {
public:
    [[nodiscard]] std::optional<std::string> SHGetSpecialFolderPathA(int) override {
        return std::nullopt;
    }
};

class FixedTempPath final : public os::ITempPath {
public:
    explicit FixedTempPath(std::string path) : path_(std::move(path)) {}
    [[nodiscard]] std::string GetTempPathA() override { return path_; }

private:
    std::string path_;
};

class PrintingMessageBox final : public desktop::IMessageBox {
public:
    void Show(const std::string& text, const std::string&, desktop::MessageIcon) override {
        std::fprintf(stderr, "message box: %s\n", text.c_str());
    }
    [[nodiscard]] bool Ask(const std::string& text, const std::string&, const std::string&,
                           const std::string&) override {
        std::fprintf(stderr, "question: %s\n", text.c_str());
        return false;
    }
};

bool MakeTree(const std::string& root) {
    if (mkdir(root.c_str(), 0700) != 0) {
        return false;
    }
    for (int folder = 0; folder < kFolders; ++folder) {
        const std::string path = root + "/folder" + std::to_string(folder);
        if (mkdir(path.c_str(), 0700) != 0) {
            return false;
        }
        for (int file = 0; file < kFilesPerFolder; ++file) {
            const std::string name = path + "/file" + std::to_string(file);
            const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd < 0) {
                return false;
            }
            close(fd);
        }
    }
    sync();
    return true;
}

double RemoveWithRm(const std::string& root) {
    const char* argv[] = {"rm", "-rf", root.c_str(), nullptr};
    const auto start = Clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, "rm", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        std::fprintf(stderr, "cannot start rm\n");
        std::exit(2);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || std::filesystem::exists(root)) {
        std::fprintf(stderr, "rm -rf %s failed\n", root.c_str());
        std::exit(2);
    }
    return seconds;
}

double Clean(const std::string& root) {
    os::posix::PosixFolderTree tree;
    NoSpecialFolders special;
    FixedTempPath temp(root + "/");
    PrintingMessageBox messageBox;
    NullLog sink;
    cleaning::CleaningLog log(sink);
    CountingPump pump;
    // The walk's yields go through the same throttle as in the program.
    cleaning::ThrottledEventPump yield(pump, sink);
    QuietHost host;
    traces::fake::FakeTraceCatalog catalog;  // the temporary folder has no traces
    cleaning::CleaningTraces traces(catalog, log);
    cleaning::FolderErasers erasers(tree, special, temp, messageBox, log, yield, host, traces);

    const auto start = Clock::now();
    erasers.EraseWindowsTemp("Erasing Windows Temporary Files");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!std::filesystem::is_empty(root) || yield.Calls() != kFolders * kFilesPerFolder) {
        std::fprintf(stderr, "the clean of %s left something (log: %s)\n", root.c_str(),
                     sink.entries.c_str());
        std::exit(2);
    }
    std::filesystem::remove(root);
    return seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string base = argc > 1 ? argv[1] : (tmpdir != nullptr ? tmpdir : "/tmp");
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::string work = base + "/orvelle-clean-bench-XXXXXX";
    if (mkdtemp(work.data()) == nullptr) {
        std::fprintf(stderr, "cannot make a folder in %s\n", base.c_str());
        return 2;
    }
    std::printf("%d folders x %d empty files in %s, %d runs\n", kFolders, kFilesPerFolder,
                work.c_str(), runs);
    std::vector<double> cleanTimes;
    std::vector<double> rmTimes;
    for (int run = 0; run < runs; ++run) {
        const std::string forRm = work + "/rm" + std::to_string(run);
        const std::string forClean = work + "/clean" + std::to_string(run);
        if (!MakeTree(forRm) || !MakeTree(forClean)) {
            std::fprintf(stderr, "cannot make the trees in %s\n", work.c_str());
            return 2;
        }
        // Alternate the order so that neither profits from the other's warm caches.
        if (run % 2 == 0) {
            rmTimes.push_back(RemoveWithRm(forRm));
            cleanTimes.push_back(Clean(forClean));
        } else {
            cleanTimes.push_back(Clean(forClean));
            rmTimes.push_back(RemoveWithRm(forRm));
        }
        std::printf("run %d: clean %.3f s, rm -rf %.3f s\n", run + 1, cleanTimes.back(),
                    rmTimes.back());
    }
    std::filesystem::remove(work);
    const double clean = Median(cleanTimes);
    const double rm = Median(rmTimes);
    const double ratio = clean / rm;
    std::printf("median: clean %.3f s, rm -rf %.3f s, ratio %.2f (budget %.2f) %s\n", clean, rm,
                ratio, kBudget, ratio <= kBudget ? "ok" : "OVER BUDGET");
    return ratio <= kBudget ? 0 : 1;
}
