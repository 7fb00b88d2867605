// veilor: the Veilor64 cipher for people and scripts. It is a host of the
// library like any other: it asks the class factory for a Veilor and calls it
// through the library's C interface.
//
//   veilor encrypt [- | --passphrase-file FILE] SOURCE DESTINATION
//   veilor decrypt [- | --passphrase-file FILE] SOURCE DESTINATION
//   veilor register | unregister
//
// The passphrase is asked for on the terminal (twice when encrypting), read from
// standard input with "-", or from the first line of a file. It is never taken as
// an argument: every user of the computer reads a process's arguments.

#include "NoCoreDumps.h"
#include "veilor64/veilor64.h"

#include <fcntl.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kUsageError = 2;
constexpr int kFailed = 1;

// What the format is worth, said on every ".kdf" encryption (as the File Security page
// says it beside its passphrase fields).
constexpr const char* kKdfNotice =
    ".kdf files keep out casual readers only; they do not resist an attacker";

constexpr const char* kUsage =
    "usage: veilor encrypt [- | --passphrase-file FILE] SOURCE DESTINATION\n"
    "       veilor decrypt [- | --passphrase-file FILE] SOURCE DESTINATION\n"
    "       veilor register | unregister | --version | --help\n"
    "\n"
    "Encrypts a file under a passphrase, or decrypts it back. A DESTINATION ending\n"
    "in \".age\" is written in the age format (any passphrase; opened by every age\n"
    "tool: age -d FILE.age); any other in the \".kdf\" format (1 to 8 characters):\n"
    "a repeating XOR that keeps out casual readers only and does not resist an\n"
    "attacker. decrypt recognises either format from the file itself.\n"
    "\n"
    "The passphrase is asked for on the terminal, without echo (twice when\n"
    "encrypting). \"-\" reads it from the first line of standard input,\n"
    "--passphrase-file FILE from the first line of FILE. It is never given as an\n"
    "argument, where every user of this computer could read it.\n"
    "register and unregister record or remove the library as \"Veilor64.Veilor\"\n"
    "in the registry store.\n";

constexpr const char* kNoArgumentPassPhrase =
    "veilor: a passphrase is not taken on the command line, where every user of this\n"
    "computer can read it. Type it when asked (leave it out of the command), give \"-\"\n"
    "to read it from standard input, or --passphrase-file FILE to read it from a file.\n"
    "Nothing was written.\n";

// The library writes the age format to a destination ending in ".age", any case.
bool NamesAgeFile(const char* path) {
    const std::string_view name(path);
    constexpr std::string_view kSuffix = ".age";
    return name.size() >= kSuffix.size() &&
           std::equal(
               kSuffix.begin(), kSuffix.end(), name.end() - kSuffix.size(),
               [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// A passphrase that is wiped when it leaves scope. Its room is reserved up front so
// that growing it never leaves an unwiped copy behind in freed memory.
class Secret {
public:
    static constexpr std::size_t kMaximum = 4096;
    Secret() { text.reserve(kMaximum); }
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
    ~Secret() { ::explicit_bzero(text.data(), text.capacity()); }
    std::string text;
};

// Turns echo off on a terminal while it lives.
class NoEcho {
public:
    explicit NoEcho(int fd) : fd_(fd) {
        if (::isatty(fd_) != 0 && ::tcgetattr(fd_, &saved_) == 0) {
            termios quiet = saved_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            active_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
        }
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;
    ~NoEcho() {
        if (active_) {
            static_cast<void>(::tcsetattr(fd_, TCSAFLUSH, &saved_));
            static_cast<void>(::write(fd_, "\n", 1));
        }
    }

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

// Owns a descriptor.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) {
            static_cast<void>(::close(fd_));
        }
    }
    [[nodiscard]] int get() const { return fd_; }

private:
    int fd_;
};

// Reads one line (without its line end) from `fd` into the secret, byte by byte so
// that nothing past the line is taken from a shared input. Returns 0 or an errno.
int ReadLine(int fd, Secret& secret) {
    char c = 0;
    while (true) {
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0 || c == '\n') {
            break;
        }
        if (secret.text.size() == Secret::kMaximum) {
            return EOVERFLOW;
        }
        secret.text += c;
    }
    c = 0;
    if (!secret.text.empty() && secret.text.back() == '\r') {
        secret.text.pop_back();
    }
    return 0;
}

// Asks on `fd` (a terminal) with echo off.
int Ask(int fd, const char* prompt, Secret& secret) {
    // Echo goes off before the prompt shows: turning it off drops what was typed
    // before, which must not be the answer.
    const NoEcho noEcho(fd);
    static_cast<void>(::write(fd, prompt, std::strlen(prompt)));
    return ReadLine(fd, secret);
}

enum class Source { kTerminal, kStandardInput, kFile };

struct PassPhraseSource {
    Source source = Source::kTerminal;
    std::string file;
};

// Fills the secret from where the command line said; false after saying why not.
bool GetPassPhrase(const PassPhraseSource& from, bool encrypting, Secret& secret) {
    int error = 0;
    switch (from.source) {
    case Source::kStandardInput: {
        const NoEcho noEcho(STDIN_FILENO);
        if (::isatty(STDIN_FILENO) != 0) {
            std::fputs("Passphrase: ", stderr);
            std::fflush(stderr);
        }
        error = ReadLine(STDIN_FILENO, secret);
        break;
    }
    case Source::kFile: {
        const Fd fd(::open(from.file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
        error = fd.get() < 0 ? errno : ReadLine(fd.get(), secret);
        if (error != 0) {
            std::fprintf(stderr, "veilor: cannot read the passphrase from %s: %s\n",
                         from.file.c_str(), std::strerror(error));
            return false;
        }
        break;
    }
    case Source::kTerminal: {
        const Fd tty(::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY));
        if (tty.get() < 0) {
            std::fputs(
                "veilor: there is no terminal to ask for the passphrase on; give \"-\" to "
                "read it from standard input, or --passphrase-file FILE\n",
                stderr);
            return false;
        }
        error = Ask(tty.get(), "Passphrase: ", secret);
        if (error == 0 && encrypting) {
            Secret again;
            error = Ask(tty.get(), "Passphrase again: ", again);
            if (error == 0 && again.text != secret.text) {
                std::fputs("veilor: the two passphrases differ; nothing was written\n", stderr);
                return false;
            }
        }
        break;
    }
    }
    if (error != 0) {
        std::fprintf(stderr, "veilor: cannot read the passphrase: %s\n", std::strerror(error));
        return false;
    }
    return true;
}

// Shows the library's progress caption on one terminal line, at most ten
// times a second.
struct ProgressLine {
    std::chrono::steady_clock::time_point last{};
    bool shown = false;

    static void Handler(void* context, uint64_t /*position*/, uint64_t /*total*/,
                        int32_t /*percent*/, const char* caption) {
        auto& line = *static_cast<ProgressLine*>(context);
        const auto now = std::chrono::steady_clock::now();
        if (line.shown && now - line.last < std::chrono::milliseconds(100)) {
            return;
        }
        line.last = now;
        line.shown = true;
        std::fprintf(stderr, "\r%s\033[K", caption);
        std::fflush(stderr);
    }

    void Clear() const {
        if (shown) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
        }
    }
};

int RunServerCommand(bool registering) {
    const veilor_result result = registering ? DllRegisterServer() : DllUnregisterServer();
    if (result != VEILOR_S_OK) {
        std::fprintf(stderr, "veilor: %s failed (0x%08X)\n",
                     registering ? "DllRegisterServer" : "DllUnregisterServer",
                     static_cast<unsigned>(result));
        return kFailed;
    }
    return 0;
}

int RunCipherCommand(bool encrypting, const PassPhraseSource& from, const char* source,
                     const char* destination) {
    Secret secret;
    if (!GetPassPhrase(from, encrypting, secret)) {
        return kFailed;
    }

    veilor_class_factory* factory = nullptr;
    veilor* control = nullptr;
    veilor_result result =
        DllGetClassObject(VEILOR64_CLSID_VEILOR, VEILOR64_IID_ICLASSFACTORY, &factory);
    if (result == VEILOR_S_OK) {
        result = veilor_class_factory_create_instance(factory, &control);
        static_cast<void>(veilor_class_factory_release(factory));
    }
    if (result != VEILOR_S_OK) {
        std::fprintf(stderr, "veilor: cannot create the Veilor control (0x%08X)\n",
                     static_cast<unsigned>(result));
        return kFailed;
    }
    if (encrypting && !NamesAgeFile(destination)) {
        std::fprintf(stderr, "%s\n", kKdfNotice);
    }
    ProgressLine line;
    if (::isatty(STDERR_FILENO) != 0) {
        static_cast<void>(veilor_set_progress_handler(control, &ProgressLine::Handler, &line));
    }
    veilor_error error{};
    result = encrypting ? veilor_encrypt(control, secret.text.c_str(), source, destination, &error)
                        : veilor_decrypt(control, secret.text.c_str(), source, destination, &error);
    line.Clear();
    static_cast<void>(veilor_release(control));
    if (result == VEILOR_E_EXCEPTION) {
        std::fprintf(stderr, "Error: %d - %s\n", error.number, error.description);
        return kFailed;
    }
    if (result != VEILOR_S_OK) {
        std::fprintf(stderr, "veilor: the call failed (0x%08X)\n", static_cast<unsigned>(result));
        return kFailed;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // The passphrase and the keys made from it never reach a core file.
    static_cast<void>(orvelle::os::posix::DisableCoreDumps());
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("veilor %s\n", veilor64_version(nullptr, nullptr));
        return 0;
    }
    if ((command == "register" || command == "unregister") && argc == 2) {
        return RunServerCommand(command == "register");
    }
    if (command == "encrypt" || command == "decrypt") {
        std::vector<std::string> rest(argv + 2, argv + argc);
        PassPhraseSource from;
        if (rest.size() == 4 && rest[0] == "--passphrase-file") {
            from = {Source::kFile, rest[1]};
            rest.erase(rest.begin(), rest.begin() + 2);
        } else if (rest.size() == 3 && rest[0] == "-") {
            from.source = Source::kStandardInput;
            rest.erase(rest.begin());
        } else if (rest.size() == 3 && rest[0] != "--passphrase-file") {
            std::fputs(kNoArgumentPassPhrase, stderr);
            return kUsageError;
        }
        if (rest.size() == 2) {
            return RunCipherCommand(command == "encrypt", from, rest[0].c_str(), rest[1].c_str());
        }
    }
    std::fputs(kUsage, stderr);
    return kUsageError;
}
