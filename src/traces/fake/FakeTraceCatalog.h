#pragma once

#include "traces/TraceCatalog.h"

#include <map>
#include <string>
#include <vector>

namespace orvelle::traces::fake {

// Findings from a table per option (settings: kSettingAutoFill, kSettingStartPage,
// with the asked value copied into every item); records every item applied and
// fails those whose path is in `failures`.
class FakeTraceCatalog final : public ITraceCatalog {
public:
    [[nodiscard]] TraceFindings Find(int option) override {
        asked.push_back(option);
        return findings[option];
    }
    [[nodiscard]] TraceFindings FindAutoFill(bool enabled) override {
        return WithValue(kSettingAutoFill, enabled ? "true" : "false");
    }
    [[nodiscard]] TraceFindings FindStartPage(const std::string& address) override {
        return WithValue(kSettingStartPage, address);
    }
    [[nodiscard]] TraceOutcome Apply(const TraceItem& item) override {
        applied.push_back(item);
        const auto failure = failures.find(item.path);
        return {failure == failures.end() ? std::string() : failure->second};
    }

    std::map<int, TraceFindings> findings;
    std::map<std::string, std::string> failures;  // path → error text
    std::vector<int> asked;
    std::vector<TraceItem> applied;

private:
    TraceFindings WithValue(int id, const std::string& value) {
        asked.push_back(id);
        TraceFindings found = findings[id];
        for (TraceItem& item : found.items) {
            item.value = value;
        }
        return found;
    }
};

}  // namespace orvelle::traces::fake
