#include "IE_Class.h"

#include <exception>
#include <utility>

namespace orvelle::popup {

using browsers::BrowserDispatch;
using browsers::IBrowserWindow;

namespace {

// Runs one step whose errors are ignored: the monitor goes on with the next one.
template <typename Step>
void IgnoringErrors(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
        // Wiring and monitoring never stop for a browser that cannot answer.
    }
}

}  // namespace

IE_Class::IE_Class(std::shared_ptr<MonitorContext> context) : context_(std::move(context)) {
}

IE_Class::~IE_Class() {
    Disconnect();
}

void IE_Class::Disconnect() noexcept {
    if (IE_) {
        IgnoringErrors([this] { IE_->Unadvise(this); });
    }
}

void IE_Class::IEctl(std::shared_ptr<IBrowserWindow> incomeIE) {
    // 1. The window's events now arrive here.
    Disconnect();
    IE_ = std::move(incomeIE);
    IEDoc_ = false;
    if (!IE_) {
        return;
    }
    IgnoringErrors([this] { IE_->Advise(this); });
    // 2. The handle.
    IgnoringErrors([this] { IEHandle_ = IE_->Hwnd(); });
    // 3. The document, when the window holds an HTML one.
    IgnoringErrors([this] { IEDoc_ = IE_->HasDocument(); });
    // 4. Forward availability.
    IgnoringErrors([this] { ProbeForward(); });
}

void IE_Class::ProbeForward() {
    if (const auto history = IE_->History()) {
        // The browser tells its history: nothing is navigated, so no flag is left
        // behind to cancel somebody's later navigation or context menu.
        EnableForward_ = history->canGoForward;
        EnableBack_ = history->canGoBack;
        return;
    }
    // Only trying tells: a forward navigation the browser accepts is cancelled at
    // its BeforeNavigate2 by the flag, and stopped.
    context_->ForwardProbePending = true;
    try {
        IE_->GoForward();
    } catch (const std::exception&) {
        EnableForward_ = false;
        context_->ForwardProbePending = false;
        return;
    }
    IE_->StopDownload();
}

void IE_Class::Relay(std::int32_t code, RelayArguments arguments) {
    context_->events.RelayIEEvent(code, IEHandle_, std::move(arguments));
}

void IE_Class::IE_BeforeNavigate2(const BrowserDispatch& pDisp, const std::string& url,
                                  std::int32_t flags, const std::string& targetFrameName,
                                  const std::string& postData, const std::string& headers,
                                  bool& cancel) {
    const auto self = weak_from_this().lock();  // a listener may rebuild the collection
    Relay(relayBeforeNavigate2,
          {&pDisp, &url, &flags, &targetFrameName, &postData, &headers, &cancel});
    if (context_->ForwardProbePending) {
        cancel = true;
        context_->ForwardProbePending = false;
    }
}

void IE_Class::IE_CommandStateChange(std::int32_t command, bool enable) {
    const auto self = weak_from_this().lock();
    if (command == browsers::CSC_NAVIGATEFORWARD) {
        EnableForward_ = enable;
    } else if (command == browsers::CSC_NAVIGATEBACK) {
        EnableBack_ = enable;
    }
    Relay(relayCommandStateChange, {&command, &enable});
}

void IE_Class::IE_DocumentComplete(const BrowserDispatch& pDisp, const std::string& url) {
    const auto self = weak_from_this().lock();
    // Frames report their own documents; only the window's top-level one counts.
    if (pDisp.window != nullptr && pDisp.window == IE_.get()) {
        Relay(relayDocumentComplete, {&pDisp, &url});
    }
}

void IE_Class::IE_DownloadBegin() {
    const auto self = weak_from_this().lock();
    Relay(relayDownloadBegin, {});
}

void IE_Class::IE_DownloadComplete() {
    const auto self = weak_from_this().lock();
    Relay(relayDownloadComplete, {});
}

void IE_Class::IE_NavigateComplete2(const BrowserDispatch& pDisp, const std::string& url) {
    const auto self = weak_from_this().lock();
    Relay(relayNavigateComplete2, {&pDisp, &url});
}

void IE_Class::IE_NewWindow2(bool& cancel) {
    // 1. An empty sound path becomes the default, for this pop-up and from now on.
    const std::string soundPath = context_->popupKiller.SoundPathForPopup(context_->process);
    // 2. Ctrl held now, or pressed since the last query: the window opens.
    if (context_->keys.GetAsyncKeyState(desktop::VK_CONTROL) != 0) {
        return;
    }
    // 3. The killer is on: the sound starts and the window is not created.
    if (context_->popupKiller.IsActive()) {
        IgnoringErrors([&] { context_->sound.PlaySoundAsync(soundPath); });
        cancel = true;
    }
}

bool IE_Class::IEDoc_oncontextmenu() {
    if (!IEDoc_) {
        return true;
    }
    const auto self = weak_from_this().lock();
    Relay(relayContextMenu, {});
    // A pending forward probe suppresses this one menu.
    const bool probePending = context_->ForwardProbePending;
    context_->ForwardProbePending = false;
    return !probePending;
}

desktop::ScreenPoint IE_Class::ClientCursorPosition() {
    desktop::ScreenPoint point;
    IgnoringErrors([&] { point = context_->keys.GetCursorPos(); });
    // A window that cannot convert leaves the screen position, as the platform does.
    IgnoringErrors([&] { point = IE_->ScreenToClient(point); });
    return point;
}

std::int16_t IE_Class::ShiftState() {
    // The last key found down wins; the values are not combined.
    std::int16_t shift = 0;
    if (context_->keys.GetAsyncKeyState(desktop::VK_SHIFT) != 0) {
        shift = 1;
    }
    if (context_->keys.GetAsyncKeyState(desktop::VK_CONTROL) != 0) {
        shift = 2;
    }
    if (context_->keys.GetAsyncKeyState(desktop::VK_MENU) != 0) {
        shift = 4;
    }
    return shift;
}

void IE_Class::IEDoc_onmousedown() {
    if (!IEDoc_) {
        return;
    }
    const auto self = weak_from_this().lock();
    const desktop::ScreenPoint client = ClientCursorPosition();
    std::int16_t button = 0;
    if ((context_->keys.GetAsyncKeyState(desktop::VK_LBUTTON) & desktop::kKeyDownNow) == 0) {
        button = 2;
        rightButtonDown_ = true;
    } else {
        button = 1;
        leftButtonDown_ = true;
    }
    std::int16_t shift = ShiftState();
    auto x = static_cast<float>(client.x);
    auto y = static_cast<float>(client.y);
    Relay(relayMouseDown, {&button, &shift, &x, &y});
}

void IE_Class::IEDoc_onmouseup() {
    if (!IEDoc_) {
        return;
    }
    const auto self = weak_from_this().lock();
    const desktop::ScreenPoint client = ClientCursorPosition();
    std::int16_t button = 0;
    if (leftButtonDown_) {
        button = 1;
        leftButtonDown_ = false;
    } else {
        button = 2;
        rightButtonDown_ = false;
    }
    std::int16_t shift = ShiftState();
    auto x = static_cast<float>(client.x);
    auto y = static_cast<float>(client.y);
    Relay(relayMouseUp, {&button, &shift, &x, &y});
}

void IE_Class::BeforeNavigate2(const BrowserDispatch& pDisp, const std::string& url,
                               std::int32_t flags, const std::string& targetFrameName,
                               const std::string& postData, const std::string& headers,
                               bool& cancel) {
    IE_BeforeNavigate2(pDisp, url, flags, targetFrameName, postData, headers, cancel);
}

void IE_Class::NavigateComplete2(const BrowserDispatch& pDisp, const std::string& url) {
    IE_NavigateComplete2(pDisp, url);
}

void IE_Class::DocumentComplete(const BrowserDispatch& pDisp, const std::string& url) {
    IE_DocumentComplete(pDisp, url);
}

void IE_Class::DownloadBegin() {
    IE_DownloadBegin();
}

void IE_Class::DownloadComplete() {
    IE_DownloadComplete();
}

void IE_Class::CommandStateChange(std::int32_t command, bool enable) {
    IE_CommandStateChange(command, enable);
}

void IE_Class::NewWindow2(bool& cancel) {
    IE_NewWindow2(cancel);
}

bool IE_Class::DocumentContextMenu() {
    return IEDoc_oncontextmenu();
}

void IE_Class::DocumentMouseDown() {
    IEDoc_onmousedown();
}

void IE_Class::DocumentMouseUp() {
    IEDoc_onmouseup();
}

}  // namespace orvelle::popup
