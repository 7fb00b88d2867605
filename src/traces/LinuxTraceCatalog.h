#pragma once

#include "BrowserProfiles.h"
#include "traces/TraceCatalog.h"

#include <optional>

namespace orvelle::traces {

// The trace catalog of a Linux desktop: browser profiles from their own indexes
// (see BrowserProfiles), and the locations of the rule table (TraceRules) inside
// them and in the desktop's own folders. A profile in use is reported, never
// touched (the start page in Firefox's user.js excepted: Firefox only reads that
// file when it starts, and never writes it).
class LinuxTraceCatalog final : public traces::ITraceCatalog {
public:
    // Folders from the environment, read again at every call.
    LinuxTraceCatalog() = default;
    explicit LinuxTraceCatalog(HomeFolders folders) : folders_(std::move(folders)) {}

    [[nodiscard]] traces::TraceFindings Find(int option) override;
    [[nodiscard]] traces::TraceFindings FindAutoFill(bool enabled) override;
    [[nodiscard]] traces::TraceFindings FindStartPage(const std::string& address) override;
    [[nodiscard]] traces::TraceOutcome Apply(const traces::TraceItem& item) override;
    void Measure(traces::TraceItem& item) override;

private:
    [[nodiscard]] HomeFolders Folders() const;
    // The items of every rule of `option` (see TraceRules), settings given `value`.
    [[nodiscard]] traces::TraceFindings Collect(int option, const std::string& value) const;
    // The profiles, with those in use (or refused) reported for `option`.
    [[nodiscard]] std::vector<BrowserProfile> UsableProfiles(int option,
                                                             traces::TraceFindings& findings,
                                                             bool allowFirefoxInUse) const;

    std::optional<HomeFolders> folders_;
};

}  // namespace orvelle::traces
