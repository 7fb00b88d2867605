#pragma once

// Recording fakes of the file-security interfaces: the cipher control and its
// factory, control registration, the archive components, temporary files, the
// pickers and the desktop's file-type association.

#include "desktop/FileTypeAssociation.h"
#include "filesecurity/Archive.h"
#include "os/ControlFactory.h"
#include "os/ControlRegistration.h"
#include "os/RuntimeError.h"
#include "os/TemporaryFiles.h"

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace orvelle::filesecurity::fake {

// The cipher control's observable contract: the argument checks and their errors,
// and (with `transformFiles`) the encrypted-file format on disk: the 8-byte check
// header, then the data XORed with the passphrase padded with "-" to 8 bytes.
class FakeCipherControl final : public os::ICipherControl {
public:
    struct Call {
        std::string method;
        std::string passPhrase;
        std::string source;
        std::string destination;
    };

    void Encrypt(const std::string& passPhrase, const std::string& sourceFile,
                 const std::string& destinationFile) override {
        Record("Encrypt", passPhrase, sourceFile, destinationFile);
        if (!transformFiles) {
            return;
        }
        std::string plain;
        if (!Read(sourceFile, plain)) {
            throw os::RuntimeError(64201, "File Not Found");
        }
        const std::string key = Padded(passPhrase);
        Write(destinationFile, Header(key) + Xor(plain, key));
    }

    void Decrypt(const std::string& passPhrase, const std::string& sourceFile,
                 const std::string& destinationFile) override {
        Record("Decrypt", passPhrase, sourceFile, destinationFile);
        if (!transformFiles) {
            return;
        }
        std::string encrypted;
        if (!Read(sourceFile, encrypted)) {
            throw os::RuntimeError(64201, "File Not Found.");
        }
        const std::string key = Padded(passPhrase);
        if (encrypted.size() < 8 || encrypted.compare(0, 8, Header(key)) != 0) {
            throw os::RuntimeError(64101, "Incorrect Password.");
        }
        Write(destinationFile, Xor(encrypted.substr(8), key));
    }

    static std::string Padded(std::string passPhrase) {
        while (passPhrase.size() < 8) {
            passPhrase += '-';
        }
        return passPhrase;
    }
    static std::string Header(const std::string& key) {
        std::string header;
        for (std::size_t k = 0; k < 8; ++k) {
            header += static_cast<char>(key[k] ^ key[7 - k]);
        }
        return header;
    }

    std::vector<Call> calls;
    // Thrown by the next call after its argument checks, as a failing control would.
    std::optional<os::RuntimeError> failWith;
    // Read and write real files; off, the calls are only recorded.
    bool transformFiles = true;
    // Runs inside each call, as the control's own yields let the user act.
    std::function<void(const Call&)> onCall;
    // The handler the host set, called by tests as the control would at a progress point.
    std::function<void(int percent)> progressHandler;
    void SetProgressHandler(std::function<void(int percent)> handler) override {
        progressHandler = std::move(handler);
    }

private:
    void Record(const char* method, const std::string& passPhrase, const std::string& source,
                const std::string& destination) {
        calls.push_back({method, passPhrase, source, destination});
        if (passPhrase.empty()) {
            throw os::RuntimeError(64301, "strPassPhrase argument not optional.");
        }
        if (source.empty()) {
            throw os::RuntimeError(64302, "strSourceFile argument not optional.");
        }
        if (destination.empty()) {
            throw os::RuntimeError(64303, "strDestinationFile argument not optional.");
        }
        // The ".kdf" length rule binds encryption to ".kdf" only.
        const bool toAge =
            destination.size() >= 4 && destination.compare(destination.size() - 4, 4, ".age") == 0;
        if (std::string(method) == "Encrypt" && !toAge && passPhrase.size() > 8) {
            throw os::RuntimeError(64102, "Password must be less than 8 characters");
        }
        if (onCall) {
            onCall(calls.back());
        }
        if (failWith) {
            throw *failWith;
        }
    }
    static std::string Xor(const std::string& data, const std::string& key) {
        std::string out(data);
        for (std::size_t j = 0; j < out.size(); ++j) {
            out[j] = static_cast<char>(out[j] ^ key[j % 8]);
        }
        return out;
    }
    static bool Read(const std::string& path, std::string& content) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            return false;
        }
        content.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        return true;
    }
    static void Write(const std::string& path, const std::string& content) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << content;
        if (!file.good()) {
            throw os::RuntimeError(75, "Path/File access error");
        }
    }
};

// Hands out FakeCipherControl instances for the identifiers in `registered`.
class FakeControlFactory final : public os::IControlFactory {
public:
    [[nodiscard]] std::unique_ptr<os::ICipherControl> CreateObject(
        const std::string& progId) override {
        requested.push_back(progId);
        if (registered.count(progId) == 0) {
            throw os::RuntimeError(
                429, "ActiveX component can't create object: " + progId + " is not registered");
        }
        auto control = std::make_unique<FakeCipherControl>();
        created.push_back(control.get());
        if (onCreate) {
            onCreate(*control);
        }
        return control;
    }

    std::set<std::string> registered{"Veilor64.Veilor"};
    std::vector<std::string> requested;
    std::vector<FakeCipherControl*> created;  // owned by whoever asked
    std::function<void(FakeCipherControl&)> onCreate;
};

// Registering a library registers "Veilor64.Veilor" with the factory when `works`.
class FakeControlRegistration final : public os::IControlRegistration {
public:
    explicit FakeControlRegistration(FakeControlFactory& factory) : factory_(factory) {}

    [[nodiscard]] std::string InstalledLibrary(const std::string& progId) const override {
        return progId == "Veilor64.Veilor" ? "/opt/orvelle/libveilor64.so" : "";
    }
    [[nodiscard]] bool RegisterServer(const std::string& libraryPath) override {
        registeredLibraries.push_back(libraryPath);
        if (works) {
            factory_.registered.insert("Veilor64.Veilor");
        }
        return works;
    }

    bool works = true;
    std::vector<std::string> registeredLibraries;

private:
    FakeControlFactory& factory_;
};

class FakeArchiveWriter final : public IArchiveWriter {
public:
    struct Call {
        std::string folder;
        std::string archivePath;
        std::string leaveOut;
    };
    [[nodiscard]] std::vector<SkippedEntry> PackFolder(const std::string& folder,
                                                       const std::string& archivePath,
                                                       const ArchiveProgress& progress,
                                                       const std::string& leaveOut) override {
        calls.push_back({folder, archivePath, leaveOut});
        for (const int percent : progressPoints) {
            progress(percent);
            if (duringWork) {
                duringWork(percent);
            }
        }
        if (failWith) {
            throw *failWith;
        }
        return skipped;
    }
    std::vector<Call> calls;
    std::vector<int> progressPoints{0, 50, 100};
    // Runs after each progress point, as the user interface's turn would.
    std::function<void(int)> duringWork;
    std::optional<os::RuntimeError> failWith;
    std::vector<SkippedEntry> skipped;
};

class FakeArchiveReader final : public IArchiveReader {
public:
    struct Call {
        std::string archivePath;
        std::string folder;
        ExistingFiles existing = ExistingFiles::Keep;
    };
    [[nodiscard]] std::size_t CountExisting(const std::string& archivePath,
                                            const std::string& folder) override {
        counted.push_back({archivePath, folder});
        return existingEntries;
    }
    [[nodiscard]] std::vector<SkippedEntry> ExtractTo(const std::string& archivePath,
                                                      const std::string& folder,
                                                      const ArchiveProgress& progress,
                                                      ExistingFiles existing) override {
        calls.push_back({archivePath, folder, existing});
        for (const int percent : progressPoints) {
            progress(percent);
            if (duringWork) {
                duringWork(percent);
            }
        }
        if (failWith) {
            throw *failWith;
        }
        return skipped;
    }
    std::vector<Call> calls;
    std::vector<Call> counted;
    // What CountExisting answers.
    std::size_t existingEntries = 0;
    std::vector<int> progressPoints{0, 50, 100};
    std::function<void(int)> duringWork;
    std::optional<os::RuntimeError> failWith;
    std::vector<SkippedEntry> skipped;
};

}  // namespace orvelle::filesecurity::fake
