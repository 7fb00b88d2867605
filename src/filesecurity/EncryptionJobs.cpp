#include "EncryptionJobs.h"

#include "PanelRules.h"
#include "Version.h"
#include "WipedString.h"

#include <new>

namespace orvelle::filesecurity {

using platform::MessageIcon;
using platform::RuntimeError;

namespace {

// The common dialog's "cancelled" error: ends a job without a word.
constexpr std::int32_t kCancelError = 32755;

// The unencrypted temporary archive for one job: whatever lay at its path before is
// removed (a link itself, never its target), the file is created for this user alone,
// and it is removed again when the job ends, however it ends.
class TemporaryArchive {
public:
    TemporaryArchive(platform::ITemporaryFiles& files, std::string path)
        : files_(files), path_(std::move(path)) {
        // A failure to remove shows up right below: the file cannot then be created.
        static_cast<void>(files_.Remove(path_));
        files_.CreateExclusive(path_);
    }
    ~TemporaryArchive() {
        // Our own file in a folder we could create it in; nothing better to do if not.
        static_cast<void>(files_.Remove(path_));
    }
    TemporaryArchive(const TemporaryArchive&) = delete;
    TemporaryArchive& operator=(const TemporaryArchive&) = delete;

private:
    platform::ITemporaryFiles& files_;
    std::string path_;
};

// Clears the running flag when a job ends, however it ends.
class RunningFlag {
public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

template <typename Body>
void EncryptionJobs::Run(Body&& body) {
    if (running_) {
        return;
    }
    const RunningFlag running(running_);
    try {
        body();
    } catch (const RuntimeError& error) {
        if (error.Number() != kCancelError) {
            services_.messageBox.Show(error.Description(), shell::ApplicationTitle(),
                                      MessageIcon::Critical);
        }
    } catch (const std::bad_alloc&) {
        services_.messageBox.Show("Out of memory", shell::ApplicationTitle(),
                                  MessageIcon::Critical);
    } catch (const std::exception& error) {
        services_.messageBox.Show(error.what(), shell::ApplicationTitle(), MessageIcon::Critical);
    }
}

namespace {

constexpr FieldChecks kEncryptChecks{"Source folder can not be blank.", "Invalid Source",
                                     "Specify destination file.", "Invalid Destination File",
                                     false};
constexpr FieldChecks kDecryptFileChecks{"Source file can not be blank.", shell::kProductName,
                                         "Destination file can not be blank.", shell::kProductName,
                                         true};
constexpr FieldChecks kDecryptFolderChecks{"Source file can not be blank.", shell::kProductName,
                                           "Destination folder can not be blank.",
                                           shell::kProductName, true};

}  // namespace

void EncryptionJobs::Refuse(const std::string& text, const std::string& title) {
    services_.messageBox.Show(text, title, MessageIcon::Information);
    view_.FocusBrowse();
}

bool EncryptionJobs::FieldsPass(const std::string& source, const std::string& destination,
                                const FieldChecks& checks) {
    if (Trim(source).empty()) {
        Refuse(checks.blankSource, checks.blankSourceTitle);
        return false;
    }
    if (Trim(destination).empty()) {
        Refuse(checks.blankDestination, checks.blankDestinationTitle);
        return false;
    }
    if (checks.sourceMustExist && !services_.files.FileExists(source)) {
        Refuse("Source file not found.", checks.blankSourceTitle);
        return false;
    }
    return true;
}

std::string EncryptionJobs::TempArchivePathOrTell() {
    const std::string folder = services_.tempPath.GetTempPathA();
    if (folder.empty()) {
        services_.messageBox.Show("Can not create file.", services_.process.ProgramFolder(),
                                  MessageIcon::Information);
        return {};
    }
    return folder + kTempArchiveName;
}

void EncryptionJobs::DeleteExistingDestination(const std::string& destination,
                                               const std::string& source) {
    // Encrypting a file onto itself must not delete it before it is read: the cipher
    // reads the whole source before it writes, and replaces the destination anyway.
    if (destination == source || !services_.files.FileExists(destination)) {
        return;
    }
    if (!services_.files.DeleteFile(destination)) {
        throw RuntimeError(
            platform::errors::kPermissionDenied,
            "Permission denied: the existing file " + destination + " cannot be deleted");
    }
}

void EncryptionJobs::ReportSkipped(const std::vector<platform::SkippedEntry>& skipped,
                                   const char* what) {
    if (skipped.empty()) {
        return;
    }
    constexpr std::size_t kShown = 15;
    std::string text = std::string("These entries were not ") + what + ":\n";
    for (std::size_t i = 0; i < skipped.size() && i < kShown; ++i) {
        text += "\n" + skipped[i].name + ": " + skipped[i].reason;
    }
    if (skipped.size() > kShown) {
        text += "\n… and " + std::to_string(skipped.size() - kShown) + " more.";
    }
    services_.messageBox.Show(text, shell::ApplicationTitle(), MessageIcon::Exclamation);
}

void EncryptionJobs::EncryptFileJob() {
    Run([this] {
        const WipedString passPhrase(view_.Password());
        const std::string source = view_.Source();
        const std::string destination = view_.Destination();
        if (!FieldsPass(source, destination, kEncryptChecks)) {
            return;
        }
        platform::ICipherControl& cipher = services_.crpControl.Control();
        DeleteExistingDestination(destination, source);
        cipher.Encrypt(passPhrase.str(), source, destination);
    });
}

void EncryptionJobs::DecryptFileJob() {
    Run([this] {
        const WipedString passPhrase(view_.Password());
        const std::string source = view_.Source();
        const std::string destination = view_.Destination();
        if (!FieldsPass(source, destination, kDecryptFileChecks)) {
            return;
        }
        // An existing destination is left for the cipher to replace.
        services_.crpControl.Control().Decrypt(passPhrase.str(), source, destination);
    });
}

void EncryptionJobs::EncryptFolderJob() {
    Run([this] {
        const WipedString passPhrase(view_.Password());
        const std::string source = view_.Source();
        const std::string destination = view_.Destination();
        if (!FieldsPass(source, destination, kEncryptChecks)) {
            return;
        }
        platform::ICipherControl& cipher = services_.crpControl.Control();
        DeleteExistingDestination(destination, source);
        tempArchive_ = TempArchivePathOrTell();
        if (tempArchive_.empty()) {
            return;
        }
        const TemporaryArchive archive(services_.temporaryFiles, tempArchive_);

        zipProgress_ = 0;
        view_.EnableProgressTimer(true);
        view_.SetEncryptCaption("Cancel");
        std::vector<platform::SkippedEntry> skipped;
        try {
            skipped = services_.zipControl.PackFolder(
                source, tempArchive_, [this](int percent) { zipProgress_ = percent; });
        } catch (...) {
            // A failed build must not leave the button reading "Cancel" and the timer running.
            zipControl_Complete();
            throw;
        }
        zipControl_Complete();

        cipher.Encrypt(passPhrase.str(), tempArchive_, destination);
        ReportSkipped(skipped, "packed");
    });
}

void EncryptionJobs::DecryptFolderJob() {
    Run([this] {
        const WipedString passPhrase(view_.Password());
        const std::string source = view_.Source();
        const std::string destination = view_.Destination();
        if (!FieldsPass(source, destination, kDecryptFolderChecks)) {
            return;
        }
        platform::ICipherControl& cipher = services_.crpControl.Control();
        tempArchive_ = TempArchivePathOrTell();
        if (tempArchive_.empty()) {
            return;
        }
        const TemporaryArchive archive(services_.temporaryFiles, tempArchive_);

        // A wrong passphrase ends the job here: nothing is extracted.
        cipher.Decrypt(passPhrase.str(), source, tempArchive_);

        unzipProgress_ = 0;
        view_.EnableProgressTimer(true);
        std::vector<platform::SkippedEntry> skipped;
        try {
            skipped = services_.unzipControl.ExtractTo(
                tempArchive_, destination, [this](int percent) { unzipProgress_ = percent; });
        } catch (...) {
            unzipControl_Complete();
            throw;
        }
        unzipControl_Complete();
        ReportSkipped(skipped, "extracted");
    });
}

void EncryptionJobs::tmrProgress_Timer() {
    view_.SetProgress(view_.EncryptEnabled() ? zipProgress_ : unzipProgress_);
}

void EncryptionJobs::zipControl_Complete() {
    view_.EnableProgressTimer(false);
    view_.SetEncryptCaption("Encrypt");
    view_.SetProgress(0);
}

void EncryptionJobs::unzipControl_Complete() {
    view_.EnableProgressTimer(false);
    view_.SetDecryptCaption("Decrypt");
    view_.SetProgress(0);
}

}  // namespace orvelle::filesecurity
