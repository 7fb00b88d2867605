#pragma once

#include "CleaningLog.h"
#include "traces/TraceCatalog.h"

#include <string>

namespace orvelle::cleaning {

// What a cleaning step does with the trace catalog: its locations as "Path: "
// entries before the step's start entry, then each erased, a profile in use or an
// item that failed as one red entry, while the step goes on with the rest.
class CleaningTraces {
public:
    CleaningTraces(traces::ITraceCatalog& catalog, CleaningLog& log)
        : catalog_(catalog), log_(log) {}

    [[nodiscard]] traces::TraceFindings Find(int option) { return catalog_.Find(option); }
    [[nodiscard]] traces::ITraceCatalog& Catalog() noexcept { return catalog_; }
    // "Path: " and `own` (the step's own location; may be empty), then one entry per
    // location found; a lone "Path: " when there is nothing at all.
    void PathEntries(const std::string& own, const traces::TraceFindings& findings);
    // Erases every item; red entries for what was skipped or failed. False when any.
    bool Apply(const traces::TraceFindings& findings);
    // The text of a red entry for a profile left alone.
    [[nodiscard]] static std::string SkippedText(const traces::SkippedProfile& skipped);

private:
    traces::ITraceCatalog& catalog_;
    CleaningLog& log_;
};

}  // namespace orvelle::cleaning
