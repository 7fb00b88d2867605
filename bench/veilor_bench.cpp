// Encryption and decryption of a large file by the veilor command against the
// floor of any read-transform-write that puts its output on the disk: a durable
// streaming copy of the same file with no cipher (this program itself, run as
// `veilor_bench --durable-copy SOURCE DESTINATION`: the cipher's own read-ahead,
// 256 KiB buffers, 8 MiB write-back windows and final fdatasync), with `cat` +
// `sync -d`, `openssl enc -chacha20` and the age tool measured in the same run as
// peers. Each command runs several times, in turns, each once the previous one's
// data is on the disk and the disk has settled, with its input in the page cache.
//
//   veilor_bench VEILOR [SIZE-MIB] [RUNS] [FOLDER] [age]
//
// Budget (".kdf"): the median of encrypt and of decrypt each within 1.05 x the
// median of the durable copy of its input, peak memory 32 MiB.
// Budget (age, a ".age" destination): encrypt within 1.10 x the larger of the
// copy and scrypt's own time (scrypt runs beside the stream), decrypt within
// 1.10 x (copy + scrypt), the peak besides scrypt's table within 32 MiB. scrypt's
// time is that of a decryption with a wrong passphrase, which stops right after the
// key derivation.
//
// The memory besides scrypt's table: encryption runs scrypt beside the stream, so
// the two peaks overlap in time and no moment of the run (a fall of the memory, a
// reset of the high-water mark once scrypt returns) tells them apart. The kernel
// accounts memory per mapping, though, and the table (128 * r * N bytes, 256 MiB)
// is one mapping of its own: an extra, untimed run of each age command reads
// /proc/PID/smaps every millisecond and takes the highest resident memory of all
// the other mappings. The buffers of the stream live as long as the stream, far
// longer than a millisecond, so the sampling does not miss them; the process's
// whole peak (the kernel's own high-water mark) is shown beside it.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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
    double time;  // median over the floor's (age: over the floor with scrypt)
};
constexpr Budget kKdfBudget{".kdf", 1.05};
constexpr Budget kAgeBudget{".age", 1.10};

// The copy's sizes are the cipher's: its buffer, its read-ahead, its write-back windows.
constexpr std::size_t kCopyBuffer = std::size_t{256} << 10;
constexpr std::uint64_t kReadAheadWindow = std::uint64_t{16} << 20;
constexpr std::uint64_t kWriteBackWindow = std::uint64_t{8} << 20;

// The floor: SOURCE to DESTINATION with the cipher's file handling and no cipher.
int DurableCopy(const char* from, const char* to) {
    const int in = ::open(from, O_RDONLY | O_CLOEXEC);
    const int out = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (in < 0 || out < 0) {
        std::perror("durable copy");
        return 1;
    }
    static_cast<void>(::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL));
    std::vector<char> buffer(kCopyBuffer);
    std::uint64_t read = 0;
    std::uint64_t requested = 0;
    std::uint64_t written = 0;
    std::uint64_t started = 0;
    while (true) {
        while (requested < read + 2 * kReadAheadWindow) {
            static_cast<void>(::posix_fadvise(in, static_cast<off_t>(requested),
                                              static_cast<off_t>(kReadAheadWindow),
                                              POSIX_FADV_WILLNEED));
            requested += kReadAheadWindow;
        }
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            std::perror("read");
            return 1;
        }
        if (got == 0) {
            break;
        }
        read += static_cast<std::uint64_t>(got);
        for (ssize_t done = 0; done < got;) {
            const ssize_t part =
                ::write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (part < 0) {
                std::perror("write");
                return 1;
            }
            done += part;
        }
        written += static_cast<std::uint64_t>(got);
        while (written >= started + kWriteBackWindow) {
            static_cast<void>(::sync_file_range(out, static_cast<off_t>(started),
                                                static_cast<off_t>(kWriteBackWindow),
                                                SYNC_FILE_RANGE_WRITE));
            if (started >= kWriteBackWindow) {
                const auto previous = static_cast<off_t>(started - kWriteBackWindow);
                static_cast<void>(
                    ::sync_file_range(out, previous, static_cast<off_t>(kWriteBackWindow),
                                      SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                          SYNC_FILE_RANGE_WAIT_AFTER));
                static_cast<void>(::posix_fadvise(
                    out, previous, static_cast<off_t>(kWriteBackWindow), POSIX_FADV_DONTNEED));
            }
            started += kWriteBackWindow;
        }
    }
    const bool ok = ::fdatasync(out) == 0 && ::close(out) == 0;
    ::close(in);
    return ok ? 0 : 1;
}

struct Sample {
    double seconds = 0;        // wall time
    long peakKib = 0;          // the kernel's high-water mark of the resident memory
    long besidesTableKib = 0;  // memory runs only: the peak of all but scrypt's table
};

// scrypt's table for the age format's passphrases: 128 * r * N bytes, r = 8, N = 2^18.
constexpr std::uint64_t kScryptTableBytes = std::uint64_t{128} * 8 * (std::uint64_t{1} << 18);

// The resident memory of a running process in KiB, leaving out every mapping at
// least as large as scrypt's table; -1 when it cannot be read.
long ResidentBesidesTableKib(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/smaps";
    FILE* smaps = std::fopen(path.c_str(), "re");
    if (smaps == nullptr) {
        return -1;
    }
    char line[512];
    long kib = 0;
    bool table = false;
    bool any = false;
    while (std::fgets(line, sizeof line, smaps) != nullptr) {
        unsigned long long from = 0;
        unsigned long long to = 0;
        if (std::sscanf(line, "%llx-%llx ", &from, &to) == 2) {
            table = to - from >= kScryptTableBytes;
        } else if (std::strncmp(line, "Rss:", 4) == 0) {
            any = true;
            if (!table) {
                kib += std::strtol(line + 4, nullptr, 10);
            }
        }
    }
    std::fclose(smaps);
    return any ? kib : -1;
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

// Runs a command to its end; its wall time and peak resident memory. With
// `answer`, the command runs on a pseudo-terminal (age reads passphrases from
// nowhere else) and gets the answer at every passphrase prompt. With `probe`, it
// also samples the memory besides scrypt's table every millisecond (which costs
// time: such a run is not timed).
Sample Run(const std::vector<std::string>& command, const std::string& input,
           int expectedStatus = 0, const std::string* answer = nullptr, bool probe = false) {
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
    int terminal = -1;
    const pid_t child =
        answer != nullptr ? ::forkpty(&terminal, nullptr, nullptr, nullptr) : ::fork();
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
    long besidesTable = 0;
    pid_t ended = 0;
    std::string said;
    std::size_t answered = 0;
    while (child > 0 && (ended = ::wait4(child, &status, WNOHANG, &usage)) == 0) {
        if (terminal >= 0) {
            char chunk[512];
            pollfd ready{terminal, POLLIN, 0};
            while (::poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0) {
                const ssize_t got = ::read(terminal, chunk, sizeof chunk);
                if (got <= 0) {
                    break;
                }
                for (ssize_t i = 0; i < got; ++i) {
                    said += static_cast<char>(std::tolower(static_cast<unsigned char>(chunk[i])));
                }
            }
            std::size_t prompts = 0;
            for (auto at = said.find("passphrase"); at != std::string::npos;
                 at = said.find("passphrase", at + 1)) {
                ++prompts;
            }
            for (; answered < prompts; ++answered) {
                const std::string line = *answer + "\r";
                static_cast<void>(::write(terminal, line.data(), line.size()));
            }
        }
        if (probe) {
            besidesTable = std::max(besidesTable, ResidentBesidesTableKib(child));
        }
        ::usleep(probe ? 1000 : 5000);
    }
    if (terminal >= 0) {
        ::close(terminal);
    }
    if (child < 0 || ended != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != expectedStatus) {
        std::fprintf(stderr, "veilor_bench: %s failed\n", command[0].c_str());
        std::exit(2);
    }
    const auto end = std::chrono::steady_clock::now();
    return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss, besidesTable};
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

// This program's own path, to run its copy mode.
std::string SelfPath(const char* argv0) {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : argv0;
}

bool OnPath(const std::string& tool) {
    const std::string command = "command -v " + tool + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
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

long Peak(const std::vector<Sample>& samples) {
    long peak = 0;
    for (const auto& sample : samples) {
        peak = std::max(peak, sample.peakKib);
    }
    return peak;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--durable-copy") == 0) {
        return DurableCopy(argv[2], argv[3]);
    }
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
    // encryption leaves it) for decryption. The peers read the same files.
    const std::string self = SelfPath(argv[0]);
    const bool haveAge = OnPath("age");
    const bool haveOpenssl = OnPath("openssl");
    const std::string ageFile = folder + "/by-age.age";
    const std::string opensslFile = folder + "/by-openssl.bin";
    const std::string passphrase = "bench";
    std::vector<Sample> floorPlain;
    std::vector<Sample> floorEncrypted;
    std::vector<Sample> catSync;
    std::vector<Sample> encrypt;
    std::vector<Sample> decrypt;
    std::vector<Sample> ageEncrypt;
    std::vector<Sample> ageDecrypt;
    std::vector<Sample> opensslEncrypt;
    std::vector<Sample> opensslDecrypt;
    const auto runCopy = [&](const std::string& from) {
        ::unlink(copy.c_str());
        return Run({self, "--durable-copy", from, copy}, from);
    };
    const auto runCatSync = [&] {
        ::unlink(copy.c_str());
        return Run({"sh", "-c", "cat \"$1\" >\"$2\" && sync -d \"$2\"", "sh", plain, copy}, plain);
    };
    const auto runEncrypt = [&](bool probe = false) {
        ::unlink(encrypted.c_str());
        return Run({veilor, "encrypt", "--passphrase-file", passFile, plain, encrypted}, plain, 0,
                   nullptr, probe);
    };
    const auto runDecrypt = [&](bool probe = false) {
        ::unlink(decrypted.c_str());
        return Run({veilor, "decrypt", "--passphrase-file", passFile, encrypted, decrypted},
                   encrypted, 0, nullptr, probe);
    };
    const auto runAgeEncrypt = [&] {
        ::unlink(ageFile.c_str());
        return Run({"age", "-p", "-o", ageFile, plain}, plain, 0, &passphrase);
    };
    const auto runAgeDecrypt = [&] {
        ::unlink(copy.c_str());
        return Run({"age", "-d", "-o", copy, ageFile}, ageFile, 0, &passphrase);
    };
    const auto runOpenssl = [&](bool encrypting) {
        ::unlink((encrypting ? opensslFile : copy).c_str());
        return Run({"openssl", "enc", encrypting ? "-e" : "-d", "-chacha20", "-pbkdf2", "-pass",
                    "file:" + passFile, "-in", encrypting ? plain : opensslFile, "-out",
                    encrypting ? opensslFile : copy},
                   encrypting ? plain : opensslFile);
    };
    // One round untimed, so that every file is in place; then the order turns
    // each round, so that no command always comes first or last.
    runEncrypt();
    runDecrypt();
    if (haveAge) {
        runAgeEncrypt();
    }
    if (haveOpenssl) {
        runOpenssl(true);
    }
    constexpr int kSteps = 9;
    for (int run = 0; run < runs; ++run) {
        for (int step = 0; step < kSteps; ++step) {
            switch ((run + step) % kSteps) {
            case 0:
                floorPlain.push_back(runCopy(plain));
                break;
            case 1:
                encrypt.push_back(runEncrypt());
                break;
            case 2:
                floorEncrypted.push_back(runCopy(encrypted));
                break;
            case 3:
                decrypt.push_back(runDecrypt());
                break;
            case 4:
                catSync.push_back(runCatSync());
                break;
            case 5:
                if (haveAge) {
                    ageEncrypt.push_back(runAgeEncrypt());
                }
                break;
            case 6:
                if (haveAge) {
                    ageDecrypt.push_back(runAgeDecrypt());
                }
                break;
            case 7:
                if (haveOpenssl) {
                    opensslEncrypt.push_back(runOpenssl(true));
                }
                break;
            default:
                if (haveOpenssl) {
                    opensslDecrypt.push_back(runOpenssl(false));
                }
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
    // The memory besides scrypt's table, in untimed runs (see the top of this file).
    const Sample encryptMemory = age ? runEncrypt(true) : Sample{};
    const Sample decryptMemory = age ? runDecrypt(true) : Sample{};
    const bool same = SameContent(plain, decrypted);
    for (const auto& path :
         {plain, copy, encrypted, decrypted, passFile, wrongPassFile, ageFile, opensslFile}) {
        ::unlink(path.c_str());
    }
    ::rmdir(folder.c_str());

    const double scrypt = age ? Median(derive) : 0;
    // The floor of each direction: for age, encryption overlaps scrypt with the
    // stream, decryption needs the key before the first byte.
    const double encryptFloor = std::max(Median(floorPlain), scrypt);
    const double decryptFloor = Median(floorEncrypted) + scrypt;
    const double encryptRatio = Median(encrypt) / encryptFloor;
    const double decryptRatio = Median(decrypt) / decryptFloor;
    // ".kdf": the kernel's high-water mark; age: the peak besides scrypt's table.
    const long peak = age ? std::max(encryptMemory.besidesTableKib, decryptMemory.besidesTableKib)
                          : std::max(Peak(encrypt), Peak(decrypt));
    std::printf("%d runs each           median   ratio to floor  best     spread  peak memory\n",
                runs);
    const auto row = [](const char* name, const std::vector<Sample>& samples, double floor) {
        if (samples.empty()) {
            std::printf("%-21s not installed\n", name);
            return;
        }
        std::printf("%-21s %7.3f s  ", name, Median(samples));
        if (floor > 0) {
            std::printf("%5.2f x         ", Median(samples) / floor);
        } else {
            std::printf("                ");
        }
        std::printf("%7.3f s  %.2f x  %6ld KiB\n", Best(samples), Spread(samples), Peak(samples));
        std::printf("%-21s", "  each run");
        for (const auto& sample : samples) {
            std::printf(" %.3f", sample.seconds);
        }
        std::printf("\n");
    };
    row("durable copy (plain)", floorPlain, 0);
    row("cat + sync -d", catSync, Median(floorPlain));
    row("veilor encrypt", encrypt, encryptFloor);
    row("age -p (peer)", ageEncrypt, encryptFloor);
    row("openssl enc -chacha20", opensslEncrypt, encryptFloor);
    row("durable copy (enc.)", floorEncrypted, 0);
    row("veilor decrypt", decrypt, decryptFloor);
    row("age -d (peer)", ageDecrypt, decryptFloor);
    row("openssl enc -d", opensslDecrypt, decryptFloor);
    if (age) {
        std::printf("age: scrypt 2^18 alone (a wrong passphrase) median %.3f s, peak %ld KiB\n",
                    scrypt, Peak(derive));
        std::printf(
            "age: peak besides scrypt's table (2^18, r = 8: %llu KiB): encrypt %ld KiB, "
            "decrypt %ld KiB (whole peaks %ld and %ld KiB)\n",
            static_cast<unsigned long long>(kScryptTableBytes >> 10), encryptMemory.besidesTableKib,
            decryptMemory.besidesTableKib, encryptMemory.peakKib, decryptMemory.peakKib);
        std::printf("age floors: encrypt max(copy, scrypt) %.3f s, decrypt copy + scrypt %.3f s\n",
                    encryptFloor, decryptFloor);
    }
    std::printf("openssl enc writes without a final flush; its times are not durable.\n");
    const auto verdict = [](bool within) { return within ? "within budget" : "OVER BUDGET"; };
    std::printf("veilor encrypt: median %.2f x its floor (budget %.2f x): %s\n", encryptRatio,
                budget.time, verdict(encryptRatio <= budget.time));
    std::printf("veilor decrypt: median %.2f x its floor (budget %.2f x): %s\n", decryptRatio,
                budget.time, verdict(decryptRatio <= budget.time));
    std::printf("veilor memory: %s%ld KiB (budget %ld KiB): %s\n",
                age ? "peak besides scrypt's table " : "peak ", peak, kMemoryBudgetKib,
                verdict(peak <= kMemoryBudgetKib));
    const bool within = same && encryptRatio <= budget.time && decryptRatio <= budget.time &&
                        peak <= kMemoryBudgetKib;
    std::printf("round trip %s; budget: median %.2f x the floor, %s%ld KiB: %s\n",
                same ? "exact" : "CHANGED THE FILE", budget.time,
                age ? "peak besides scrypt's table " : "peak ", kMemoryBudgetKib,
                within ? "within budget" : "OVER BUDGET");
    return within ? 0 : 1;
}
