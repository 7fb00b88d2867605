#include "EncryptionJobs.h"

#include "PanelRules.h"
#include "Version.h"
#include "WipedString.h"

#include <new>

namespace orvelle::filesecurity {

using desktop::MessageIcon;
using os::RuntimeError;

namespace {

// The common dialog's "cancelled" error: ends a job without a word.
constexpr std::int32_t kCancelError = 32755;

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

// The cipher's progress on the page's bar while it lives; the bar back at 0 after.
class CipherProgress {
public:
    CipherProgress(os::ICipherControl& cipher, IFileSecurityView& view)
        : cipher_(cipher), view_(view) {
        cipher_.SetProgressHandler([&view](int percent) { view.SetProgress(percent); });
    }
    ~CipherProgress() {
        cipher_.SetProgressHandler({});
        view_.SetProgress(0);
    }
    CipherProgress(const CipherProgress&) = delete;
    CipherProgress& operator=(const CipherProgress&) = delete;

private:
    os::ICipherControl& cipher_;
    IFileSecurityView& view_;
};

}  // namespace

template <typename Body>
void EncryptionJobs::Run(Body&& body) {
    if (running_) {
        return;
    }
    const RunningFlag running(running_);
    archiveHandlePath_.clear();
    view_.ShowOutcome("");
    try {
        body();
    } catch (const RuntimeError& error) {
        if (error.Number() != kCancelError) {
            services_.messageBox.Show(NameTheArchive(error.Description()),
                                      shell::ApplicationTitle(), MessageIcon::Critical);
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

std::string EncryptionJobs::NameTheArchive(std::string text) const {
    // The archive has no name on disk; messages call it by the name it would have.
    if (!archiveHandlePath_.empty()) {
        for (auto at = text.find(archiveHandlePath_); at != std::string::npos;
             at = text.find(archiveHandlePath_, at + tempArchive_.size())) {
            text.replace(at, archiveHandlePath_.size(), tempArchive_);
        }
    }
    return text;
}

std::unique_ptr<os::ITemporaryFile> EncryptionJobs::CreateTemporaryArchive(
    const std::string& folder) {
    // A named archive left by an older version, or by a file system without unnamed
    // files, goes first; a failure to remove it is ignored, as creating comes next.
    static_cast<void>(services_.temporaryFiles.Remove(tempArchive_));
    auto archive = services_.temporaryFiles.Create(folder, kTempArchiveName);
    archiveHandlePath_ = archive->Path();
    return archive;
}

void EncryptionJobs::RemoveLeftovers() {
    services_.temporaryFiles.RemoveLeftovers();
    const std::string folder = services_.tempPath.GetTempPathA();
    if (!folder.empty()) {
        // The unencrypted archive of a job that an older version ran or a crash ended.
        static_cast<void>(services_.temporaryFiles.Remove(folder + kTempArchiveName));
    }
}

filesecurity::ExistingFiles EncryptionJobs::AskAboutExistingEntries(
    const std::string& archive, const std::string& destination) {
    const std::size_t count = services_.unzipControl.CountExisting(archive, destination);
    if (count == 0) {
        return filesecurity::ExistingFiles::Replace;
    }
    const std::string text =
        count == 1
            ? "1 entry of this archive already exists in " + destination +
                  ".\n\nReplace it with the one from the archive, or keep the existing one?"
            : std::to_string(count) + " entries of this archive already exist in " + destination +
                  ".\n\nReplace them with the ones from the archive, or keep the existing "
                  "ones?";
    return services_.messageBox.Ask(text, shell::ApplicationTitle(), kReplaceButton, kKeepButton)
               ? filesecurity::ExistingFiles::Replace
               : filesecurity::ExistingFiles::Keep;
}

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

void EncryptionJobs::ReportSkipped(const std::vector<filesecurity::SkippedEntry>& skipped,
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
        // An existing destination stays until the cipher puts a complete new file in its place.
        os::ICipherControl& cipher = services_.crpControl.Control();
        {
            const CipherProgress progress(cipher, view_);
            cipher.Encrypt(passPhrase.str(), source, destination);
        }
        view_.ShowOutcome("Encrypted " + source + " into " + destination + ".");
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
        os::ICipherControl& cipher = services_.crpControl.Control();
        {
            const CipherProgress progress(cipher, view_);
            cipher.Decrypt(passPhrase.str(), source, destination);
        }
        view_.ShowOutcome("Decrypted " + source + " into " + destination + ".");
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
        os::ICipherControl& cipher = services_.crpControl.Control();
        const std::string folder = services_.tempPath.GetTempPathA();
        tempArchive_ = TempArchivePathOrTell();
        if (tempArchive_.empty()) {
            return;
        }
        // The plain archive has no name: nothing of it outlives the job, even a killed one.
        const auto archive = CreateTemporaryArchive(folder);
        const std::string archivePath = archive->Path();

        zipProgress_ = 0;
        view_.EnableProgressTimer(true);
        view_.SetEncryptCaption("Cancel");
        std::vector<filesecurity::SkippedEntry> skipped;
        try {
            // An older destination inside the folder is not packed into its successor.
            skipped = services_.zipControl.PackFolder(
                source, archivePath, [this](int percent) { zipProgress_ = percent; }, destination);
        } catch (...) {
            // A failed build must not leave the button reading "Cancel" and the timer running.
            zipControl_Complete();
            throw;
        }
        zipControl_Complete();

        // The old destination is replaced only by the complete new file.
        {
            const CipherProgress progress(cipher, view_);
            cipher.Encrypt(passPhrase.str(), archivePath, destination);
        }
        view_.ShowOutcome("Encrypted the folder " + source + " into " + destination + ".");
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
        os::ICipherControl& cipher = services_.crpControl.Control();
        const std::string folder = services_.tempPath.GetTempPathA();
        tempArchive_ = TempArchivePathOrTell();
        if (tempArchive_.empty()) {
            return;
        }
        const auto archive = CreateTemporaryArchive(folder);
        const std::string archivePath = archive->Path();

        // A wrong passphrase ends the job here: nothing is extracted.
        {
            const CipherProgress progress(cipher, view_);
            cipher.Decrypt(passPhrase.str(), source, archivePath);
        }
        const filesecurity::ExistingFiles existing =
            AskAboutExistingEntries(archivePath, destination);

        unzipProgress_ = 0;
        view_.EnableProgressTimer(true);
        std::vector<filesecurity::SkippedEntry> skipped;
        try {
            skipped = services_.unzipControl.ExtractTo(
                archivePath, destination, [this](int percent) { unzipProgress_ = percent; },
                existing);
        } catch (...) {
            unzipControl_Complete();
            throw;
        }
        unzipControl_Complete();
        view_.ShowOutcome("Decrypted " + source + " into the folder " + destination + ".");
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
