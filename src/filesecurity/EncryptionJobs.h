#pragma once

#include "CipherControlSource.h"
#include "FileSecurityView.h"
#include "desktop/MessageBox.h"
#include "filesecurity/Archive.h"
#include "os/FileSystem.h"
#include "os/ProcessInfo.h"
#include "os/TempPath.h"
#include "os/TemporaryFiles.h"

#include <memory>
#include <string>
#include <vector>

namespace orvelle::filesecurity {

// What the jobs work with besides the page.
struct JobServices {
    CipherControlSource& crpControl;
    filesecurity::IArchiveWriter& zipControl;
    filesecurity::IArchiveReader& unzipControl;
    os::IFileSystem& files;
    os::ITemporaryFiles& temporaryFiles;
    os::ITempPath& tempPath;
    const os::IProcessInfo& process;
    desktop::IMessageBox& messageBox;
};

// What a job requires of its fields, with the message and title of each refusal.
struct FieldChecks {
    const char* blankSource;
    const char* blankSourceTitle;
    const char* blankDestination;
    const char* blankDestinationTitle;
    bool sourceMustExist;
};

// The four jobs that turn the page's fields into calls of the cipher control: one
// file or a whole folder, each way. A folder travels as one temporary ZIP archive,
// "CRY9999.TMP" in the temporary folder, that only this user can read and that has
// no name on disk (where the file system allows), so that nothing of it outlives its
// job, not even a killed one. An existing destination is never deleted first: the
// cipher replaces it with the complete new file, so a job that fails loses nothing.
// A folder is extracted over existing files only after the user says so. One job at
// a time: a request that arrives while a job runs (its work lets the user interface
// run) starts nothing.
class EncryptionJobs {
public:
    static constexpr const char* kTempArchiveName = "CRY9999.TMP";
    static constexpr const char* kReplaceButton = "Replace";
    static constexpr const char* kKeepButton = "Keep them";

    EncryptionJobs(IFileSecurityView& view, JobServices services)
        : view_(view), services_(services) {}

    void EncryptFileJob();
    void DecryptFileJob();
    void EncryptFolderJob();
    void DecryptFolderJob();

    // Every 10 ms while tmrProgress runs: the bar shows the archive step's progress.
    void tmrProgress_Timer();

    // At load: removes what killed jobs left where unnamed files were not possible,
    // and a plain archive that an older version left in the temporary folder.
    void RemoveLeftovers();

    [[nodiscard]] bool IsRunning() const noexcept { return running_; }
    // The temporary archive path of the last folder job, as messages name it.
    [[nodiscard]] const std::string& TempArchivePath() const noexcept { return tempArchive_; }

private:
    template <typename Body>
    void Run(Body&& body);
    // Field problems: an information box, then the focus goes to Browse.
    void Refuse(const std::string& text, const std::string& title);
    // Tests the fields in order (blanks trimmed); refuses at the first problem.
    [[nodiscard]] bool FieldsPass(const std::string& source, const std::string& destination,
                                  const FieldChecks& checks);
    // The temporary archive path, or "" after telling the user it cannot be had.
    [[nodiscard]] std::string TempArchivePathOrTell();
    // A new unnamed temporary archive in `folder`, an older named one removed first.
    [[nodiscard]] std::unique_ptr<os::ITemporaryFile> CreateTemporaryArchive(
        const std::string& folder);
    // Replace, or what the user chose when entries of the archive exist already.
    [[nodiscard]] filesecurity::ExistingFiles AskAboutExistingEntries(
        const std::string& archive, const std::string& destination);
    // The text with the archive's handle path replaced by its name.
    [[nodiscard]] std::string NameTheArchive(std::string text) const;
    void ReportSkipped(const std::vector<filesecurity::SkippedEntry>& skipped, const char* what);

    // Completion of the archive build and of the extraction.
    void zipControl_Complete();
    void unzipControl_Complete();

    IFileSecurityView& view_;
    JobServices services_;
    bool running_ = false;
    int zipProgress_ = 0;
    int unzipProgress_ = 0;
    std::string tempArchive_;
    std::string archiveHandlePath_;
};

}  // namespace orvelle::filesecurity
