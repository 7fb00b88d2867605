#pragma once

#include <string>
#include <vector>

namespace orvelle::test {

// A stand-in browser for tests: an executable script in `folder` that writes the arguments
// it is started with, one per line, to a file beside it, and a desktop file that names it
// as a web browser.
class BrowserScript {
public:
    explicit BrowserScript(const std::string& folder);

    [[nodiscard]] const std::string& Script() const noexcept { return script_; }
    // Writes "<applicationsFolder>/<id>" with Exec=<script> <execArguments>.
    std::string WriteDesktopFile(const std::string& applicationsFolder, const std::string& id,
                                 const std::string& execArguments = "%u") const;
    // The arguments of the first start, waiting up to ten seconds for it; `started` tells
    // whether it ran at all.
    [[nodiscard]] std::vector<std::string> WaitForArguments(bool& started) const;

private:
    std::string script_;
    std::string output_;
};

}  // namespace orvelle::test
