#include "CleaningTraces.h"

#include <set>

namespace orvelle::cleaning {

void CleaningTraces::PathEntries(const std::string& own, const traces::TraceFindings& findings) {
    std::set<std::string> written;
    if (!own.empty()) {
        log_.PathEntry(own);
        written.insert(own);
    }
    for (const traces::TraceItem& item : findings.items) {
        // One entry per location: a database edited twice is still one place.
        if (written.insert(item.path).second) {
            log_.PathEntry(item.path);
        }
    }
    if (written.empty()) {
        log_.PathEntry("");
    }
}

std::string CleaningTraces::SkippedText(const traces::SkippedProfile& skipped) {
    // No profile name: the index naming the profiles could not be used.
    std::string text = skipped.profile.empty()
                           ? skipped.browser + " profiles"
                           : skipped.browser + " profile \"" + skipped.profile + "\"";
    if (skipped.reason.rfind("Not cleaned: ", 0) == 0) {
        return text + " (" + skipped.profileFolder + ") not cleaned: " + skipped.reason.substr(13);
    }
    return text + " (" + skipped.profileFolder + ") is " + skipped.reason + ": not cleaned";
}

bool CleaningTraces::Apply(const traces::TraceFindings& findings) {
    bool clean = true;
    for (const traces::SkippedProfile& skipped : findings.skipped) {
        log_.ErrorEntry(SkippedText(skipped));
        clean = false;
    }
    for (const traces::TraceItem& item : findings.items) {
        const traces::TraceOutcome outcome = catalog_.Apply(item);
        if (!outcome.ok()) {
            log_.ErrorEntry(outcome.error);
            clean = false;
        }
    }
    return clean;
}

}  // namespace orvelle::cleaning
