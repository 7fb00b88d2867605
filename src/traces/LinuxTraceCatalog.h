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
class LinuxTraceCatalog final : public platform::ITraceCatalog {
public:
    // Folders from the environment, read again at every call.
    LinuxTraceCatalog() = default;
    explicit LinuxTraceCatalog(HomeFolders folders) : folders_(std::move(folders)) {}

    [[nodiscard]] platform::TraceFindings Find(int option) override;
    [[nodiscard]] platform::TraceFindings FindAutoFill(bool enabled) override;
    [[nodiscard]] platform::TraceFindings FindStartPage(const std::string& address) override;
    [[nodiscard]] platform::TraceOutcome Apply(const platform::TraceItem& item) override;
    void Measure(platform::TraceItem& item) override;

private:
    [[nodiscard]] HomeFolders Folders() const;
    // The items of every rule of `option` (see TraceRules), settings given `value`.
    [[nodiscard]] platform::TraceFindings Collect(int option, const std::string& value) const;
    // The profiles, with those in use (or refused) reported for `option`.
    [[nodiscard]] std::vector<BrowserProfile> UsableProfiles(int option,
                                                             platform::TraceFindings& findings,
                                                             bool allowFirefoxInUse) const;

    std::optional<HomeFolders> folders_;
};

}  // namespace orvelle::traces
