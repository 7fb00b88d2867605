// Encryption and decryption of a large file by the veilor command against a
// durable copy of the same file, `dd bs=1M conv=fdatasync` (the floor of any
// read-transform-write that puts its output on the disk), in the same run, with
// the peak memory of each command. Each command runs several times, in turns,
// each once the previous one's data is on the disk and the disk has settled,
// with its input in the page cache.
//
//   veilor_bench VEILOR [SIZE-MIB] [RUNS] [FOLDER] [age]
//
// Budget (".kdf"): the median of encrypt and of decrypt each within 1.10 x the
// median of dd, peak memory 32 MiB, and the slowest run of each within 1.3 x its
// fastest. The unevenness a shared or virtual disk brings (a few tenths of a
// second) counts on the floor's scale: a command that runs faster than dd may be
// slower than its fastest run by 30 % of dd's median, never by more.
// Budget (age, a ".age" destination): the medians within 1.25 x dd, the streaming
// peak within 32 MiB. scrypt's own memory (2^18, r = 8: 256 MiB) and time are shown
// apart: the memory is sampled while the command runs, and the peak once scrypt
// has given its memory back is the streaming peak; its time is that of a decryption
// with a wrong passphrase, which stops right after the key derivation.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr long kMemoryBudgetKib = 32 * 1024;
constexpr std::size_t kChunk = 1 << 20;
constexpr unsigned kSettleSeconds = 2;

struct Budget {
    const char* extension;
    double time;    // median over dd's median
    double spread;  // slowest run over the fastest; 0 when not held
};
constexpr Budget kKdfBudget{".kdf", 1.10, 1.30};
constexpr Budget kAgeBudget{".age", 1.25, 0};

struct Sample {
    double seconds = 0;  // wall time
    long peakKib = 0;
    long streamingPeakKib = 0;  // after the key derivation gave its memory back
};

// The resident memory of a running process, in KiB; 0 when it cannot be read.
long ResidentKib(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    FILE* status = std::fopen(path.c_str(), "re");
    if (status == nullptr) {
        return 0;
    }
    char line[256];
    long kib = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, "VmRSS:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return kib;
}

void ReadThrough(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::vector<char> buffer(kChunk);
    while (fd >= 0 && ::read(fd, buffer.data(), kChunk) > 0) {
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

// Runs a command to its end; its wall time and peak resident memory, overall
// and once the memory fell by 240 MiB from its highest (scrypt's table released).
Sample Run(const std::vector<std::string>& command, const std::string& input,
           int expectedStatus = 0) {
    ::sync();
    // Every command finds its input in the page cache: whether the previous run
    // left it there would otherwise decide the time, and reading a virtual disk
    // varies far more than writing it. What is measured is the durable write.
    ReadThrough(input);
    // A virtual disk goes on writing (and discarding the blocks of the file the
    // previous run replaced) after sync has returned; a run started at once
    // shares the disk with that work and takes several times as long.
    ::sleep(kSettleSeconds);
    std::vector<char*> argv;
    for (const auto& part : command) {
        argv.push_back(const_cast<char*>(part.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        // The commands' notices would only interleave with the table.
        const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (quiet >= 0) {
            ::dup2(quiet, STDERR_FILENO);
        }
        ::execvp(argv[0], argv.data());
        std::perror(argv[0]);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    // Samples the memory every 5 ms; a sample taken while the table is being
    // released does not count, only those once the memory has stopped falling.
    long highest = 0;
    long afterDrop = 0;
    long previous = 0;
    bool dropped = false;
    bool settled = false;
    pid_t ended = 0;
    while (child > 0 && (ended = ::wait4(child, &status, WNOHANG, &usage)) == 0) {
        const long now = ResidentKib(child);
        if (!dropped) {
            highest = std::max(highest, now);
            dropped = now > 0 && now < highest - 240 * 1024;
        }
        settled = settled || (dropped && now >= previous);
        if (settled) {
            afterDrop = std::max(afterDrop, now);
        }
        previous = now;
        ::usleep(5000);
    }
    if (child < 0 || ended != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != expectedStatus) {
        std::fprintf(stderr, "veilor_bench: %s failed\n", command[0].c_str());
        std::exit(2);
    }
    const auto end = std::chrono::steady_clock::now();
    return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss,
            settled ? afterDrop : usage.ru_maxrss};
}

bool WriteRandomFile(const std::string& path, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    std::vector<std::uint64_t> block(kChunk / sizeof(std::uint64_t));
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    bool ok = true;
    for (std::uint64_t done = 0; ok && done < size; done += kChunk) {
        for (auto& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const auto part = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, size - done));
        ok = ::write(fd, block.data(), part) == static_cast<ssize_t>(part);
    }
    return ::close(fd) == 0 && ok;
}

bool WriteText(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    return ::close(fd) == 0 && ok;
}

bool SameContent(const std::string& a, const std::string& b) {
    const int fa = ::open(a.c_str(), O_RDONLY | O_CLOEXEC);
    const int fb = ::open(b.c_str(), O_RDONLY | O_CLOEXEC);
    std::vector<char> ba(kChunk);
    std::vector<char> bb(kChunk);
    bool same = fa >= 0 && fb >= 0;
    while (same) {
        const ssize_t ga = ::read(fa, ba.data(), kChunk);
        const ssize_t gb = ::read(fb, bb.data(), kChunk);
        same = ga == gb && ga >= 0 &&
               std::memcmp(ba.data(), bb.data(), static_cast<std::size_t>(ga)) == 0;
        if (ga <= 0) {
            break;
        }
    }
    ::close(fa);
    ::close(fb);
    return same;
}

double Best(const std::vector<Sample>& samples) {
    double best = samples.front().seconds;
    for (const auto& sample : samples) {
        best = std::min(best, sample.seconds);
    }
    return best;
}

double Median(const std::vector<Sample>& samples) {
    std::vector<double> values;
    for (const auto& sample : samples) {
        values.push_back(sample.seconds);
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The slowest run over the fastest.
double Spread(const std::vector<Sample>& samples) {
    double best = samples.front().seconds;
    double worst = best;
    for (const auto& sample : samples) {
        best = std::min(best, sample.seconds);
        worst = std::max(worst, sample.seconds);
    }
    return worst / best;
}

long Peak(const std::vector<Sample>& samples, long Sample::*which = &Sample::peakKib) {
    long peak = 0;
    for (const auto& sample : samples) {
        peak = std::max(peak, sample.*which);
    }
    return peak;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: veilor_bench VEILOR [SIZE-MIB] [RUNS] [FOLDER] [age]\n");
        return 2;
    }
    const std::string veilor = argv[1];
    const std::uint64_t sizeMib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = argc > 4 ? argv[4] : (tmp != nullptr ? tmp : "/tmp");
    const bool age = argc > 5 && std::strcmp(argv[5], "age") == 0;
    const Budget& budget = age ? kAgeBudget : kKdfBudget;
    folder += "/veilor-bench-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string plain = folder + "/plain.bin";
    const std::string copy = folder + "/copy.bin";
    const std::string encrypted = folder + "/plain" + budget.extension;
    const std::string decrypted = folder + "/back.bin";
    // veilor takes no passphrase as an argument: these two files hold them.
    const std::string passFile = folder + "/pass.txt";
    const std::string wrongPassFile = folder + "/wrong-pass.txt";
    if (!WriteText(passFile, "bench\n") || !WriteText(wrongPassFile, "not it\n")) {
        std::perror("writing the passphrase files");
        return 2;
    }
    std::printf("file: %llu MiB in %s, %d runs each, format %s\n",
                static_cast<unsigned long long>(sizeMib), folder.c_str(), runs, budget.extension);
    if (!WriteRandomFile(plain, sizeMib << 20)) {
        std::perror("writing the test file");
        return 2;
    }

    // Each operation is held against a durable copy of the file it reads: the
    // plain file for encryption, the encrypted file (rewritten every round, as
    // encryption leaves it) for decryption.
    std::vector<Sample> ddPlain;
    std::vector<Sample> ddEncrypted;
    std::vector<Sample> encrypt;
    std::vector<Sample> decrypt;
    const auto runDd = [&](const std::string& from) {
        ::unlink(copy.c_str());
        return Run({"dd", "if=" + from, "of=" + copy, "bs=1M", "conv=fdatasync", "status=none"},
                   from);
    };
    const auto runEncrypt = [&] {
        ::unlink(encrypted.c_str());
        return Run({veilor, "encrypt", "--passphrase-file", passFile, plain, encrypted}, plain);
    };
    const auto runDecrypt = [&] {
        ::unlink(decrypted.c_str());
        return Run({veilor, "decrypt", "--passphrase-file", passFile, encrypted, decrypted},
                   encrypted);
    };
    // One round untimed, so that every file is in place; then the order turns
    // each round, so that no command always comes first or last.
    runEncrypt();
    runDecrypt();
    for (int run = 0; run < runs; ++run) {
        for (int step = 0; step < 4; ++step) {
            switch ((run + step) % 4) {
            case 0:
                ddPlain.push_back(runDd(plain));
                break;
            case 1:
                encrypt.push_back(runEncrypt());
                break;
            case 2:
                ddEncrypted.push_back(runDd(encrypted));
                break;
            default:
                decrypt.push_back(runDecrypt());
                break;
            }
        }
    }
    // scrypt alone: a wrong passphrase stops right after the key derivation.
    std::vector<Sample> derive;
    for (int run = 0; age && run < runs; ++run) {
        derive.push_back(Run(
            {veilor, "decrypt", "--passphrase-file", wrongPassFile, encrypted, decrypted + ".x"},
            encrypted, 1));
    }
    const bool same = SameContent(plain, decrypted);
    for (const auto& path : {plain, copy, encrypted, decrypted, passFile, wrongPassFile}) {
        ::unlink(path.c_str());
    }
    ::rmdir(folder.c_str());

    const double encryptRatio = Median(encrypt) / Median(ddPlain);
    const double decryptRatio = Median(decrypt) / Median(ddEncrypted);
    const auto peakOf = age ? &Sample::streamingPeakKib : &Sample::peakKib;
    const long peak = std::max(Peak(encrypt, peakOf), Peak(decrypt, peakOf));
    std::printf("%d runs each          median   ratio to dd   best     spread  peak memory\n",
                runs);
    const auto row = [](const char* name, const std::vector<Sample>& samples, double ratio) {
        std::printf("%-20s %7.3f s  ", name, Median(samples));
        if (ratio > 0) {
            std::printf("%5.2f x      ", ratio);
        } else {
            std::printf("             ");
        }
        std::printf("%7.3f s  %.2f x  %6ld KiB\n", Best(samples), Spread(samples), Peak(samples));
        std::printf("%-20s", "  each run");
        for (const auto& sample : samples) {
            std::printf(" %.3f", sample.seconds);
        }
        std::printf("\n");
    };
    row("dd plain file", ddPlain, 0);
    row("veilor encrypt", encrypt, encryptRatio);
    row("dd encrypted file", ddEncrypted, 0);
    row("veilor decrypt", decrypt, decryptRatio);
    if (age) {
        const long streaming = peak;
        const long overall = std::max(Peak(encrypt), Peak(decrypt));
        std::printf(
            "age: peak %ld KiB, of which streaming %ld KiB and scrypt's table (2^18, "
            "r = 8) %ld KiB\n",
            overall, streaming, overall - streaming);
        // What the streaming itself costs: the medians less scrypt's own time.
        std::printf(
            "age: scrypt 2^18 alone (a wrong passphrase) median %.3f s; less that, "
            "%.2f x and %.2f x dd\n",
            Median(derive), (Median(encrypt) - Median(derive)) / Median(ddPlain),
            (Median(decrypt) - Median(derive)) / Median(ddEncrypted));
    }
    // The slowest run against the fastest, on the scale of dd's time when the
    // command is faster than dd.
    const auto evenEnough = [&](const std::vector<Sample>& samples, const std::vector<Sample>& dd) {
        const double fastest = Best(samples);
        const double slowest = fastest * Spread(samples);
        return slowest <=
               std::max(budget.spread * fastest, fastest + (budget.spread - 1) * Median(dd));
    };
    const bool spreadWithin =
        budget.spread == 0 || (evenEnough(encrypt, ddPlain) && evenEnough(decrypt, ddEncrypted));
    const bool within = same && encryptRatio <= budget.time && decryptRatio <= budget.time &&
                        spreadWithin && peak <= kMemoryBudgetKib;
    std::printf("round trip %s; budget: median %.2f x dd conv=fdatasync",
                same ? "exact" : "CHANGED THE FILE", budget.time);
    if (budget.spread > 0) {
        std::printf(", spread %.2f x (or %.0f %% of dd's median)", budget.spread,
                    (budget.spread - 1) * 100);
    }
    std::printf(", %s%ld KiB: %s\n", age ? "streaming peak " : "", kMemoryBudgetKib,
                within ? "within budget" : "OVER BUDGET");
    return within ? 0 : 1;
}
