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

// What one run of the benchmark reads and writes, and the commands it has.
struct Bench {
    std::string veilor;
    std::uint64_t sizeMib = 0;
    int runs = 0;
    bool age = false;
    const Budget* budget = &kKdfBudget;
    std::string folder;
    std::string plain;
    std::string copy;
    std::string encrypted;
    std::string decrypted;
    // veilor takes no passphrase as an argument: these two files hold them.
    std::string passFile;
    std::string wrongPassFile;
    std::string self;
    bool haveAge = false;
    bool haveOpenssl = false;
    std::string ageFile;
    std::string opensslFile;
    std::string passphrase = "bench";
};

// The samples of every command, and whether the round trip gave the file back.
struct Measured {
    std::vector<Sample> floorPlain;
    std::vector<Sample> floorEncrypted;
    std::vector<Sample> catSync;
    std::vector<Sample> encrypt;
    std::vector<Sample> decrypt;
    std::vector<Sample> ageEncrypt;
    std::vector<Sample> ageDecrypt;
    std::vector<Sample> opensslEncrypt;
    std::vector<Sample> opensslDecrypt;
    std::vector<Sample> derive;
    Sample encryptMemory;
    Sample decryptMemory;
    bool same = false;
};

// The arguments, the folder, the passphrase files and the test file; false once
// something could not be made (the reason is printed).
bool Prepare(int argc, char** argv, Bench& b) {
    b.veilor = argv[1];
    b.sizeMib = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1024;
    b.runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const char* tmp = std::getenv("TMPDIR");
    b.folder = argc > 4 ? argv[4] : (tmp != nullptr ? tmp : "/tmp");
    b.age = argc > 5 && std::strcmp(argv[5], "age") == 0;
    b.budget = b.age ? &kAgeBudget : &kKdfBudget;
    b.folder += "/veilor-bench-XXXXXX";
    if (::mkdtemp(b.folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return false;
    }
    b.plain = b.folder + "/plain.bin";
    b.copy = b.folder + "/copy.bin";
    b.encrypted = b.folder + "/plain" + b.budget->extension;
    b.decrypted = b.folder + "/back.bin";
    b.passFile = b.folder + "/pass.txt";
    b.wrongPassFile = b.folder + "/wrong-pass.txt";
    if (!WriteText(b.passFile, "bench\n") || !WriteText(b.wrongPassFile, "not it\n")) {
        std::perror("writing the passphrase files");
        return false;
    }
    std::printf("file: %llu MiB in %s, %d runs each, format %s\n",
                static_cast<unsigned long long>(b.sizeMib), b.folder.c_str(), b.runs,
                b.budget->extension);
    if (!WriteRandomFile(b.plain, b.sizeMib << 20)) {
        std::perror("writing the test file");
        return false;
    }
    // Each operation is held against a durable copy of the file it reads: the
    // plain file for encryption, the encrypted file (rewritten every round, as
    // encryption leaves it) for decryption. The peers read the same files.
    b.self = SelfPath(argv[0]);
    b.haveAge = OnPath("age");
    b.haveOpenssl = OnPath("openssl");
    b.ageFile = b.folder + "/by-age.age";
    b.opensslFile = b.folder + "/by-openssl.bin";
    return true;
}

Sample RunCopy(const Bench& b, const std::string& from) {
    ::unlink(b.copy.c_str());
    return Run({b.self, "--durable-copy", from, b.copy}, from);
}

Sample RunCatSync(const Bench& b) {
    ::unlink(b.copy.c_str());
    return Run({"sh", "-c", "cat \"$1\" >\"$2\" && sync -d \"$2\"", "sh", b.plain, b.copy},
               b.plain);
}

Sample RunEncrypt(const Bench& b, bool probe = false) {
    ::unlink(b.encrypted.c_str());
    return Run({b.veilor, "encrypt", "--passphrase-file", b.passFile, b.plain, b.encrypted},
               b.plain, 0, nullptr, probe);
}

Sample RunDecrypt(const Bench& b, bool probe = false) {
    ::unlink(b.decrypted.c_str());
    return Run({b.veilor, "decrypt", "--passphrase-file", b.passFile, b.encrypted, b.decrypted},
               b.encrypted, 0, nullptr, probe);
}

Sample RunAgeEncrypt(const Bench& b) {
    ::unlink(b.ageFile.c_str());
    return Run({"age", "-p", "-o", b.ageFile, b.plain}, b.plain, 0, &b.passphrase);
}

Sample RunAgeDecrypt(const Bench& b) {
    ::unlink(b.copy.c_str());
    return Run({"age", "-d", "-o", b.copy, b.ageFile}, b.ageFile, 0, &b.passphrase);
}

Sample RunOpenssl(const Bench& b, bool encrypting) {
    ::unlink((encrypting ? b.opensslFile : b.copy).c_str());
    return Run({"openssl", "enc", encrypting ? "-e" : "-d", "-chacha20", "-pbkdf2", "-pass",
                "file:" + b.passFile, "-in", encrypting ? b.plain : b.opensslFile, "-out",
                encrypting ? b.opensslFile : b.copy},
               encrypting ? b.plain : b.opensslFile);
}

// One round untimed, so that every file is in place; then the order turns
// each round, so that no command always comes first or last.
void RunInTurns(const Bench& b, Measured& m) {
    RunEncrypt(b);
    RunDecrypt(b);
    if (b.haveAge) {
        RunAgeEncrypt(b);
    }
    if (b.haveOpenssl) {
        RunOpenssl(b, true);
    }
    constexpr int kSteps = 9;
    for (int run = 0; run < b.runs; ++run) {
        for (int step = 0; step < kSteps; ++step) {
            switch ((run + step) % kSteps) {
            case 0:
                m.floorPlain.push_back(RunCopy(b, b.plain));
                break;
            case 1:
                m.encrypt.push_back(RunEncrypt(b));
                break;
            case 2:
                m.floorEncrypted.push_back(RunCopy(b, b.encrypted));
                break;
            case 3:
                m.decrypt.push_back(RunDecrypt(b));
                break;
            case 4:
                m.catSync.push_back(RunCatSync(b));
                break;
            case 5:
                if (b.haveAge) {
                    m.ageEncrypt.push_back(RunAgeEncrypt(b));
                }
                break;
            case 6:
                if (b.haveAge) {
                    m.ageDecrypt.push_back(RunAgeDecrypt(b));
                }
                break;
            case 7:
                if (b.haveOpenssl) {
                    m.opensslEncrypt.push_back(RunOpenssl(b, true));
                }
                break;
            default:
                if (b.haveOpenssl) {
                    m.opensslDecrypt.push_back(RunOpenssl(b, false));
                }
                break;
            }
        }
    }
}

// scrypt alone, the memory besides its table, the round trip's result.
void MeasureScryptAndMemory(const Bench& b, Measured& m) {
    // scrypt alone: a wrong passphrase stops right after the key derivation.
    for (int run = 0; b.age && run < b.runs; ++run) {
        m.derive.push_back(Run({b.veilor, "decrypt", "--passphrase-file", b.wrongPassFile,
                                b.encrypted, b.decrypted + ".x"},
                               b.encrypted, 1));
    }
    // The memory besides scrypt's table, in untimed runs (see the top of this file).
    m.encryptMemory = b.age ? RunEncrypt(b, true) : Sample{};
    m.decryptMemory = b.age ? RunDecrypt(b, true) : Sample{};
    m.same = SameContent(b.plain, b.decrypted);
}

void RemoveTheFolder(const Bench& b) {
    for (const auto& path : {b.plain, b.copy, b.encrypted, b.decrypted, b.passFile, b.wrongPassFile,
                             b.ageFile, b.opensslFile}) {
        ::unlink(path.c_str());
    }
    ::rmdir(b.folder.c_str());
}

void PrintRow(const char* name, const std::vector<Sample>& samples, double floor) {
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
}

const char* Verdict(bool within) {
    return within ? "within budget" : "OVER BUDGET";
}

// The table, the budgets' verdicts; whether every budget was kept.
bool Report(const Bench& b, const Measured& m) {
    const Budget& budget = *b.budget;
    const bool age = b.age;
    const double scrypt = age ? Median(m.derive) : 0;
    // The floor of each direction: for age, encryption overlaps scrypt with the
    // stream, decryption needs the key before the first byte.
    const double encryptFloor = std::max(Median(m.floorPlain), scrypt);
    const double decryptFloor = Median(m.floorEncrypted) + scrypt;
    const double encryptRatio = Median(m.encrypt) / encryptFloor;
    const double decryptRatio = Median(m.decrypt) / decryptFloor;
    // ".kdf": the kernel's high-water mark; age: the peak besides scrypt's table.
    const long peak =
        age ? std::max(m.encryptMemory.besidesTableKib, m.decryptMemory.besidesTableKib)
            : std::max(Peak(m.encrypt), Peak(m.decrypt));
    std::printf("%d runs each           median   ratio to floor  best     spread  peak memory\n",
                b.runs);
    PrintRow("durable copy (plain)", m.floorPlain, 0);
    PrintRow("cat + sync -d", m.catSync, Median(m.floorPlain));
    PrintRow("veilor encrypt", m.encrypt, encryptFloor);
    PrintRow("age -p (peer)", m.ageEncrypt, encryptFloor);
    PrintRow("openssl enc -chacha20", m.opensslEncrypt, encryptFloor);
    PrintRow("durable copy (enc.)", m.floorEncrypted, 0);
    PrintRow("veilor decrypt", m.decrypt, decryptFloor);
    PrintRow("age -d (peer)", m.ageDecrypt, decryptFloor);
    PrintRow("openssl enc -d", m.opensslDecrypt, decryptFloor);
    if (age) {
        std::printf("age: scrypt 2^18 alone (a wrong passphrase) median %.3f s, peak %ld KiB\n",
                    scrypt, Peak(m.derive));
        std::printf(
            "age: peak besides scrypt's table (2^18, r = 8: %llu KiB): encrypt %ld KiB, "
            "decrypt %ld KiB (whole peaks %ld and %ld KiB)\n",
            static_cast<unsigned long long>(kScryptTableBytes >> 10),
            m.encryptMemory.besidesTableKib, m.decryptMemory.besidesTableKib,
            m.encryptMemory.peakKib, m.decryptMemory.peakKib);
        std::printf("age floors: encrypt max(copy, scrypt) %.3f s, decrypt copy + scrypt %.3f s\n",
                    encryptFloor, decryptFloor);
    }
    std::printf("openssl enc writes without a final flush; its times are not durable.\n");
    std::printf("veilor encrypt: median %.2f x its floor (budget %.2f x): %s\n", encryptRatio,
                budget.time, Verdict(encryptRatio <= budget.time));
    std::printf("veilor decrypt: median %.2f x its floor (budget %.2f x): %s\n", decryptRatio,
                budget.time, Verdict(decryptRatio <= budget.time));
    std::printf("veilor memory: %s%ld KiB (budget %ld KiB): %s\n",
                age ? "peak besides scrypt's table " : "peak ", peak, kMemoryBudgetKib,
                Verdict(peak <= kMemoryBudgetKib));
    const bool within = m.same && encryptRatio <= budget.time && decryptRatio <= budget.time &&
                        peak <= kMemoryBudgetKib;
    std::printf("round trip %s; budget: median %.2f x the floor, %s%ld KiB: %s\n",
                m.same ? "exact" : "CHANGED THE FILE", budget.time,
                age ? "peak besides scrypt's table " : "peak ", kMemoryBudgetKib,
                within ? "within budget" : "OVER BUDGET");
    return within;
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
    Bench bench;
    if (!Prepare(argc, argv, bench)) {
        return 2;
    }
    Measured measured;
    RunInTurns(bench, measured);
    MeasureScryptAndMemory(bench, measured);
    RemoveTheFolder(bench);
    return Report(bench, measured) ? 0 : 1;
}
