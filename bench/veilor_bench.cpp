// Encryption and decryption of a large file by the veilor command against cp of
// the same file, in the same run, with the peak memory of each command.
// Each command runs several times, in turns, each after the page cache's dirty
// data of the previous one has been written out; the best run counts.
//
//   veilor_bench VEILOR [SIZE-MIB] [RUNS] [FOLDER] [kdf|age]
//
// Budget (".kdf"): encrypt and decrypt each within 1.25 x cp, peak memory within 32 MiB.
// Budget (age): the medians within 1.25 x `dd bs=1M conv=fdatasync` of the same file,
// peak memory within 32 MiB besides scrypt's own (2^18: 256 MiB), which is shown apart:
// the memory is sampled while the command runs, and the peak once scrypt has given
// its memory back is the streaming peak.

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

constexpr double kTimeBudget = 1.25;
constexpr long kMemoryBudgetKib = 32 * 1024;
constexpr std::size_t kChunk = 1 << 20;

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

// Runs a command to its end; its wall time and peak resident memory.
Sample Run(const std::vector<std::string>& command, int expectedStatus = 0, bool quiet = false) {
    ::sync();
    std::vector<char*> argv;
    for (const auto& part : command) {
        argv.push_back(const_cast<char*>(part.c_str()));
    }
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        if (quiet) {
            // The expected failure's message would only clutter the report.
            const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
            ::dup2(null, STDERR_FILENO);
        }
        ::execvp(argv[0], argv.data());
        std::perror(argv[0]);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    // Samples the memory every 5 ms: the highest, and the highest after the
    // memory fell by 240 MiB from it (scrypt's table released; a sample taken while
    // it is being released does not count).
    long highest = 0;
    long afterDrop = 0;
    long previous = 0;
    bool dropped = false;
    bool settled = false;
    pid_t ended = 0;
    while (child > 0 && (ended = ::wait4(child, &status, WNOHANG, &usage)) == 0) {
        const long now = ResidentKib(child);
        if (now > highest && !dropped) {
            highest = now;
        }
        if (!dropped && now > 0 && now < highest - 240 * 1024) {
            dropped = true;
        }
        // Samples count once the memory has stopped falling.
        if (dropped && now >= previous) {
            settled = true;
        }
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

long Peak(const std::vector<Sample>& samples) {
    long peak = 0;
    for (const auto& sample : samples) {
        peak = std::max(peak, sample.peakKib);
    }
    return peak;
}

long StreamingPeak(const std::vector<Sample>& samples) {
    long peak = 0;
    for (const auto& sample : samples) {
        peak = std::max(peak, sample.streamingPeakKib);
    }
    return peak;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: veilor_bench VEILOR [SIZE-MIB] [RUNS] [FOLDER] [kdf|age]\n");
        return 2;
    }
    const std::string veilor = argv[1];
    const std::uint64_t sizeMib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024;
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = argc > 4 ? argv[4] : (tmp != nullptr ? tmp : "/tmp");
    const bool age = argc > 5 && std::strcmp(argv[5], "age") == 0;
    folder += "/veilor-bench-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    const std::string plain = folder + "/plain.bin";
    const std::string copy = folder + "/copy.bin";
    const std::string encrypted = folder + (age ? "/plain.age" : "/plain.kdf");
    const std::string decrypted = folder + "/back.bin";
    std::printf("file: %llu MiB in %s, %d runs each, format %s\n",
                static_cast<unsigned long long>(sizeMib), folder.c_str(), runs,
                age ? "age" : ".kdf");
    if (!WriteRandomFile(plain, sizeMib << 20)) {
        std::perror("writing the test file");
        return 2;
    }

    // Each operation is held against cp of the file it reads: the plain file
    // for encryption, the encrypted file (rewritten every round, as
    // encryption leaves it) for decryption.
    std::vector<Sample> cpPlain;
    std::vector<Sample> cpEncrypted;
    std::vector<Sample> encrypt;
    std::vector<Sample> decrypt;
    const auto runCp = [&](const std::string& from) {
        ::unlink(copy.c_str());
        if (age) {
            return Run(
                {"dd", "if=" + from, "of=" + copy, "bs=1M", "conv=fdatasync", "status=none"});
        }
        return Run({"cp", from, copy});
    };
    const auto runEncrypt = [&] {
        ::unlink(encrypted.c_str());
        return Run({veilor, "encrypt", "bench", plain, encrypted});
    };
    const auto runDecrypt = [&] {
        ::unlink(decrypted.c_str());
        return Run({veilor, "decrypt", "bench", encrypted, decrypted});
    };
    // One round untimed, so that every file is in place; then the order turns
    // each round, so that no command always comes first or last.
    runEncrypt();
    runDecrypt();
    for (int run = 0; run < runs; ++run) {
        for (int step = 0; step < 4; ++step) {
            switch ((run + step) % 4) {
            case 0:
                cpPlain.push_back(runCp(plain));
                break;
            case 1:
                encrypt.push_back(runEncrypt());
                break;
            case 2:
                cpEncrypted.push_back(runCp(encrypted));
                break;
            default:
                decrypt.push_back(runDecrypt());
                break;
            }
        }
    }
    // The key derivation alone: a wrong passphrase stops right after it.
    std::vector<Sample> derive;
    if (age) {
        for (int run = 0; run < runs; ++run) {
            derive.push_back(
                Run({veilor, "decrypt", "not it", encrypted, decrypted + ".x"}, 1, true));
        }
    }
    const bool same = SameContent(plain, decrypted);
    for (const auto& path : {plain, copy, encrypted, decrypted}) {
        ::unlink(path.c_str());
    }
    ::rmdir(folder.c_str());

    // A busy machine only ever adds time, so the best run of each command is
    // the measure of its own work; the medians show how busy the machine was.
    const double encryptRatio = Best(encrypt) / Best(cpPlain);
    const double decryptRatio = Best(decrypt) / Best(cpEncrypted);
    const long peak = std::max(Peak(encrypt), Peak(decrypt));
    std::printf("best of %d            wall    ratio       (median, ratio)     peak memory\n",
                runs);
    std::printf(age ? "dd plain file     %7.3f s               (%6.3f s)            %6ld KiB\n"
                    : "cp plain file     %7.3f s               (%6.3f s)            %6ld KiB\n",
                Best(cpPlain), Median(cpPlain), Peak(cpPlain));
    const char* floor = age ? "dd" : "cp";
    std::printf("veilor encrypt    %7.3f s  %.2f x %s  (%6.3f s, %.2f x %s)  %6ld KiB\n",
                Best(encrypt), encryptRatio, floor, Median(encrypt),
                Median(encrypt) / Median(cpPlain), floor, Peak(encrypt));
    std::printf(age ? "dd encrypted file %7.3f s               (%6.3f s)            %6ld KiB\n"
                    : "cp encrypted file %7.3f s               (%6.3f s)            %6ld KiB\n",
                Best(cpEncrypted), Median(cpEncrypted), Peak(cpEncrypted));
    std::printf("veilor decrypt    %7.3f s  %.2f x %s  (%6.3f s, %.2f x %s)  %6ld KiB\n",
                Best(decrypt), decryptRatio, floor, Median(decrypt),
                Median(decrypt) / Median(cpEncrypted), floor, Peak(decrypt));
    bool within = same && encryptRatio <= kTimeBudget && decryptRatio <= kTimeBudget &&
                  peak <= kMemoryBudgetKib;
    if (age) {
        // The age budget holds the medians to the durable copy; scrypt's memory apart.
        const long streaming = std::max(StreamingPeak(encrypt), StreamingPeak(decrypt));
        const double encryptMedian = Median(encrypt) / Median(cpPlain);
        const double decryptMedian = Median(decrypt) / Median(cpEncrypted);
        std::printf(
            "age: medians %.2f x and %.2f x dd conv=fdatasync; peak %ld KiB, of which "
            "streaming %ld KiB and scrypt's table (2^18, r = 8) %ld KiB\n",
            encryptMedian, decryptMedian, peak, streaming, peak - streaming);
        // What the streaming itself costs: the medians less scrypt's own time.
        std::printf(
            "age: scrypt 2^18 alone (a wrong passphrase) median %.3f s; less that, "
            "%.2f x and %.2f x dd conv=fdatasync\n",
            Median(derive), (Median(encrypt) - Median(derive)) / Median(cpPlain),
            (Median(decrypt) - Median(derive)) / Median(cpEncrypted));
        within = same && encryptMedian <= kTimeBudget && decryptMedian <= kTimeBudget &&
                 streaming <= kMemoryBudgetKib;
    }
    std::printf("round trip %s; budget %.2f x %s and %ld KiB%s: %s\n",
                same ? "exact" : "CHANGED THE FILE", kTimeBudget, floor, kMemoryBudgetKib,
                age ? " (medians; streaming peak)" : "", within ? "within budget" : "OVER BUDGET");
    return within ? 0 : 1;
}
