#pragma once

#include <functional>
#include <string>

namespace orvelle::desktop {

// The notification-area icon. Mouse actions on it arrive as the platform's mouse
// message numbers: 515 (left double click) and 517 (right button up).
class ITrayIcon {
public:
    using Callback = std::function<void(int mouseMessage)>;

    virtual ~ITrayIcon() = default;

    // Adds the icon with its tip (cut to 63 characters); adding twice has no effect.
    virtual void Add(const std::string& tip) = 0;
    // Removes the icon; removing an absent icon has no effect.
    virtual void Remove() = 0;
    // Whether the icon is currently added.
    [[nodiscard]] virtual bool IsAdded() const = 0;
    // Whether the desktop has a notification area to show it in.
    [[nodiscard]] virtual bool IsAvailable() const = 0;
    // Where callbacks go; delivered on the user-interface thread.
    virtual void SetCallback(Callback callback) = 0;
};

}  // namespace orvelle::desktop
