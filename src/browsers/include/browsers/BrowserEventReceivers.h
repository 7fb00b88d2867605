#pragma once

#include "browsers/BrowserSource.h"

#include <algorithm>
#include <vector>

namespace orvelle::browsers {

// The receivers connected to one browser window. Delivery tolerates receivers
// that connect or disconnect others (or themselves) while a notification runs.
class BrowserEventReceivers {
public:
    void Add(IBrowserEvents* receiver) {
        if (receiver != nullptr && !Contains(receiver)) {
            receivers_.push_back(receiver);
        }
    }
    void Remove(IBrowserEvents* receiver) {
        receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), receiver),
                         receivers_.end());
    }
    [[nodiscard]] bool Contains(IBrowserEvents* receiver) const {
        return std::find(receivers_.begin(), receivers_.end(), receiver) != receivers_.end();
    }
    [[nodiscard]] std::size_t Size() const noexcept { return receivers_.size(); }

    // Calls `notify` with every receiver that is still connected when its turn comes.
    template <typename Notify>
    void ForEach(Notify&& notify) const {
        const auto snapshot = receivers_;
        for (IBrowserEvents* receiver : snapshot) {
            if (Contains(receiver)) {
                notify(*receiver);
            }
        }
    }

private:
    std::vector<IBrowserEvents*> receivers_;
};

}  // namespace orvelle::browsers
