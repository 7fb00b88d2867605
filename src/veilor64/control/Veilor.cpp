#include "Veilor.h"

#include "AgeCipher.h"
#include "Cipher.h"
#include "CipherErrors.h"
#include "PosixCipherFiles.h"
#include "UnnamedFile.h"
#include "os/RuntimeError.h"

namespace orvelle::veilor64 {
namespace {

// Operations of this library running on this thread; one waiting at a progress
// point lets the host's events run, and those must not start another.
thread_local bool tOperationRunning = false;

class RunningFlag {
public:
    RunningFlag() {
        if (tOperationRunning) {
            throw os::RuntimeError(errors::kInvalidProcedureCall, errors::kBusyText);
        }
        tOperationRunning = true;
    }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;
    ~RunningFlag() { tOperationRunning = false; }
};

}  // namespace

// The window, then the host's handler.
class Veilor::Progress final : public IProgressSink {
public:
    Progress(StatusWindow& window, const ProgressHandler& handler)
        : window_(window), handler_(handler) {}
    void Show() override { window_.Show(); }
    void Point(const ProgressPoint& point) override {
        window_.Point(point);
        if (handler_) {
            handler_(point);
        }
    }
    void Close() noexcept override { window_.Close(); }

private:
    StatusWindow& window_;
    const ProgressHandler& handler_;
};

Veilor::Veilor(std::unique_ptr<ICipherFiles> files,
               std::chrono::steady_clock::duration windowInterval)
    : files_(files ? std::move(files) : std::make_unique<PosixCipherFiles>()),
      window_(windowInterval) {
    // A process killed while writing where unnamed files were not possible left a
    // hidden file behind; the next start of a host removes it.
    static_cast<void>(os::posix::RemoveLeftovers());
}

Veilor::~Veilor() = default;

template <typename Operation>
void Veilor::Run(Operation operation) {
    const RunningFlag running;
    // A copy: the host may change the handler from inside a progress point.
    const ProgressHandler handler = handler_;
    Progress progress(window_, handler);
    operation(*files_, progress);
}

void Veilor::Encrypt(const std::string& strPassPhrase, const std::string& strSourceFile,
                     const std::string& strDestinationFile) {
    // A destination named ".age" is written in the age format, anything else as ".kdf".
    Run([&](ICipherFiles& files, IProgressSink& progress) {
        if (age::IsAgeDestination(strDestinationFile)) {
            AgeCipher(files, progress).Encrypt(strPassPhrase, strSourceFile, strDestinationFile);
        } else {
            Cipher(files, progress).Encrypt(strPassPhrase, strSourceFile, strDestinationFile);
        }
    });
}

void Veilor::Decrypt(const std::string& strPassPhrase, const std::string& strSourceFile,
                     const std::string& strDestinationFile) {
    // The file's first bytes tell its format, whatever its name.
    Run([&](ICipherFiles& files, IProgressSink& progress) {
        if (!strPassPhrase.empty() && age::IsAgeFile(files, strSourceFile)) {
            AgeCipher(files, progress).Decrypt(strPassPhrase, strSourceFile, strDestinationFile);
        } else {
            Cipher(files, progress).Decrypt(strPassPhrase, strSourceFile, strDestinationFile);
        }
    });
}

}  // namespace orvelle::veilor64
