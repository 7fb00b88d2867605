// veilor: the Veilor64 cipher for people and scripts. It is a host of the
// library like any other: it asks the class factory for a Veilor and calls it
// through the library's C interface.
//
//   veilor encrypt PASSPHRASE SOURCE DESTINATION   (DESTINATION.age: the age format)
//   veilor decrypt PASSPHRASE SOURCE DESTINATION   (either format, told by content)
//   veilor register | unregister
//
// A PASSPHRASE of "-" is read from standard input (without echo on a terminal).

#include "veilor64/veilor64.h"

#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr int kUsageError = 2;
constexpr int kFailed = 1;

// What the format is worth, said on every ".kdf" encryption (as the File Security page
// says it beside its passphrase fields).
constexpr const char* kKdfNotice =
    ".kdf files keep out casual readers only; they do not resist an attacker";

constexpr const char* kUsage =
    "usage: veilor encrypt PASSPHRASE SOURCE DESTINATION\n"
    "       veilor decrypt PASSPHRASE SOURCE DESTINATION\n"
    "       veilor register | unregister | --version | --help\n"
    "\n"
    "Encrypts a file under a passphrase, or decrypts it back. A DESTINATION ending\n"
    "in \".age\" is written in the age format (any passphrase; opened by every age\n"
    "tool: age -d FILE.age); any other in the \".kdf\" format (1 to 8 characters):\n"
    "a repeating XOR that keeps out casual readers only and does not resist an\n"
    "attacker. decrypt recognises either format from the file itself.\n"
    "A PASSPHRASE of \"-\" is read from standard\n"
    "input, which keeps it out of the process list. register and unregister\n"
    "record or remove the library as \"Veilor64.Veilor\" in the registry store.\n";

// The library writes the age format to a destination ending in ".age", any case.
bool NamesAgeFile(const char* path) {
    const std::string_view name(path);
    constexpr std::string_view kSuffix = ".age";
    return name.size() >= kSuffix.size() &&
           std::equal(
               kSuffix.begin(), kSuffix.end(), name.end() - kSuffix.size(),
               [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// A passphrase that is wiped when it leaves scope.
class Secret {
public:
    Secret() = default;
    Secret(const Secret&) = delete;
    Secret& operator=(const Secret&) = delete;
    ~Secret() { ::explicit_bzero(text.data(), text.capacity()); }
    std::string text;
};

// Turns terminal echo off while it lives.
class NoEcho {
public:
    NoEcho() {
        if (::isatty(STDIN_FILENO) != 0 && ::tcgetattr(STDIN_FILENO, &saved_) == 0) {
            termios quiet = saved_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            active_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;
    ~NoEcho() {
        if (active_) {
            static_cast<void>(::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_));
            std::fputc('\n', stderr);
        }
    }

private:
    termios saved_{};
    bool active_ = false;
};

// Reads one line of standard input (without its line end) as the passphrase.
bool ReadPassPhrase(Secret& secret) {
    if (::isatty(STDIN_FILENO) != 0) {
        std::fputs("Passphrase: ", stderr);
        std::fflush(stderr);
    }
    const NoEcho noEcho;
    char c = 0;
    while (true) {
        const ssize_t got = ::read(STDIN_FILENO, &c, 1);
        if (got < 0) {
            return false;
        }
        if (got == 0 || c == '\n') {
            break;
        }
        secret.text += c;
    }
    c = 0;
    if (!secret.text.empty() && secret.text.back() == '\r') {
        secret.text.pop_back();
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

int RunCipherCommand(bool encrypting, const char* passPhrase, const char* source,
                     const char* destination) {
    Secret secret;
    if (std::strcmp(passPhrase, "-") == 0) {
        if (!ReadPassPhrase(secret)) {
            std::fprintf(stderr, "veilor: cannot read the passphrase: %s\n", std::strerror(errno));
            return kFailed;
        }
    } else {
        secret.text = passPhrase;
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
    if ((command == "encrypt" || command == "decrypt") && argc == 5) {
        return RunCipherCommand(command == "encrypt", argv[2], argv[3], argv[4]);
    }
    std::fputs(kUsage, stderr);
    return kUsageError;
}
