// Feeds arbitrary archives to the extraction of a decrypted folder: the bytes a
// crafted ".kdf" file decrypts to (the cipher maps any file to any other under a
// known passphrase, so an attacker chooses them freely). Each input is counted
// against a destination that already holds files, then extracted once keeping
// and once replacing what is there.
//
// Besides the sanitizers it checks what must hold for any input: only the
// run-time errors of a damaged archive or a failed write come back, and nothing
// outside the destination folder is ever created, changed or removed (a file and
// a folder beside it, which links in the archive try to reach, stay as they were).

#include "FuzzRequire.h"
#include "LibArchiveReader.h"
#include "os/EventPump.h"
#include "os/RuntimeError.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace {

using orvelle::fuzz::Require;

using namespace orvelle::os;
using namespace orvelle::filesecurity;

class NoPump final : public IEventPump {
public:
    void DoEvents() override {}
};

// One sandbox for the whole run: the archive, the destination and what lies
// outside it, in a fresh folder of the temporary folder.
struct Sandbox {
    Sandbox() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") +
                              "/veilor-extract-fuzz-XXXXXX";
        Require(::mkdtemp(pattern.data()) != nullptr);
        root = pattern;
        Require(::mkdir((root + "/outside").c_str(), 0700) == 0);
        WriteFile(root + "/outside/victim", "victim");
        WriteFile(root + "/victim", "victim");
    }

    ~Sandbox() {
        static_cast<void>(::nftw(
            root.c_str(),
            [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS));
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    static void WriteFile(const std::string& path, const std::string& content) {
        const UniqueFdLike fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        Require(fd.fd >= 0 && ::write(fd.fd, content.data(), content.size()) ==
                                  static_cast<ssize_t>(content.size()));
    }
    static std::string ReadFile(const std::string& path) {
        const UniqueFdLike fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        std::string content;
        char buffer[256];
        ssize_t got = 0;
        while (fd.fd >= 0 && (got = ::read(fd.fd, buffer, sizeof buffer)) > 0) {
            content.append(buffer, static_cast<std::size_t>(got));
        }
        return content;
    }
    static std::set<std::string> Names(const std::string& folder) {
        std::set<std::string> names;
        DIR* dir = ::opendir(folder.c_str());
        Require(dir != nullptr);
        while (const dirent* entry = ::readdir(dir)) {
            names.insert(entry->d_name);
        }
        ::closedir(dir);
        return names;
    }
    // Removes the destination without following any link in it.
    void ClearDestination() const {
        static_cast<void>(
            ::nftw((root + "/dest").c_str(),
                   [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); },
                   16, FTW_DEPTH | FTW_PHYS));
    }
    void CheckOutside() const {
        Require(Names(root) ==
                    std::set<std::string>{".", "..", "outside", "victim", "in.zip", "dest"} ||
                Names(root) == std::set<std::string>{".", "..", "outside", "victim", "in.zip"});
        Require(Names(root + "/outside") == std::set<std::string>{".", "..", "victim"});
        Require(ReadFile(root + "/victim") == "victim");
        Require(ReadFile(root + "/outside/victim") == "victim");
    }

    struct UniqueFdLike {
        explicit UniqueFdLike(int value) : fd(value) {}
        ~UniqueFdLike() {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        UniqueFdLike(const UniqueFdLike&) = delete;
        UniqueFdLike& operator=(const UniqueFdLike&) = delete;
        int fd;
    };

    std::string root;
};

void Extract(orvelle::filesecurity::libarchive::LibArchiveReader& reader, const Sandbox& box,
             ExistingFiles existing) {
    try {
        static_cast<void>(
            reader.ExtractTo(box.root + "/in.zip", box.root + "/dest", nullptr, existing));
    } catch (const RuntimeError& error) {
        // 321: a damaged archive; the rest: a write the file system refused.
        const auto number = error.Number();
        Require(number == 321 || number == 58 || number == 61 || number == 67 || number == 70 ||
                number == 75 || number == 76 || number == errors::kDeviceIoError);
    }
    box.CheckOutside();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const Sandbox box;
    static NoPump pump;
    orvelle::filesecurity::libarchive::LibArchiveReader reader(pump,
                                                               std::chrono::milliseconds(1000));
    Sandbox::WriteFile(box.root + "/in.zip",
                       std::string(reinterpret_cast<const char*>(data), size));
    box.ClearDestination();
    Require(::mkdir((box.root + "/dest").c_str(), 0700) == 0);
    Sandbox::WriteFile(box.root + "/dest/a", "mine");
    Require(::symlink("../outside", (box.root + "/dest/planted").c_str()) == 0);
    try {
        static_cast<void>(reader.CountExisting(box.root + "/in.zip", box.root + "/dest"));
    } catch (const RuntimeError& error) {
        Require(error.Number() == 321);
    }
    Extract(reader, box, ExistingFiles::Keep);
    Require(Sandbox::ReadFile(box.root + "/dest/a") == "mine");
    Extract(reader, box, ExistingFiles::Replace);
    return 0;
}
