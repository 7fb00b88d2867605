#include "DevToolsBrowser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

#include <algorithm>
#include <iterator>
#include <utility>

namespace orvelle::browsers::devtools {

namespace {

constexpr QLatin1String kPage("page");

// Installed in every document of a watched page: reports the document's mouse
// button and context-menu events through the page function `%1`, with positions
// so that screen points can be turned into document points.
const char* const kDocumentEventsScript = R"JS((() => {
  const report = globalThis["%1"];
  if (typeof report !== "function" || report.installed) return;
  report.installed = true;
  const send = (type) => (e) => {
    try {
      report(JSON.stringify({type, clientX: e.clientX, clientY: e.clientY,
                             screenX: e.screenX, screenY: e.screenY}));
    } catch (_) {}
  };
  for (const type of ["mousedown", "mouseup", "contextmenu"])
    globalThis.addEventListener(type, send(type), true);
})();)JS";

QJsonArray PageFilter() {
    return QJsonArray{QJsonObject{{QStringLiteral("type"), kPage}}};
}

std::string Std(const QString& text) {
    return text.toStdString();
}

BrowserDispatch DispatchFor(DevToolsWindow& window, const QString& frameId) {
    if (frameId.isEmpty() || frameId == window.TargetId()) {
        return {&window, Std(frameId)};
    }
    return {nullptr, Std(frameId)};
}

}  // namespace

DevToolsBrowser::DevToolsBrowser(QString endpointUrl, Hooks hooks, QObject* parent)
    : QObject(parent), endpointUrl_(std::move(endpointUrl)), hooks_(std::move(hooks)) {
    // A name no page can guess, so that a page does not trip over ours.
    bindingName_ = QStringLiteral("orvelle_%1%2")
                       .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'))
                       .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    connect(&connection_, &DevToolsConnection::opened, this, &DevToolsBrowser::OnOpened);
    connect(&connection_, &DevToolsConnection::closed, this, &DevToolsBrowser::OnClosed);
    connect(&connection_, &DevToolsConnection::eventReceived, this, &DevToolsBrowser::OnEvent);
}

DevToolsBrowser::~DevToolsBrowser() {
    connection_.disconnect(this);
    for (auto& [targetId, target] : targets_) {
        if (target.window) {
            target.window->Detach();
        }
    }
}

void DevToolsBrowser::Open() {
    connection_.Open(QUrl(endpointUrl_));
}

std::vector<std::shared_ptr<IBrowserWindow>> DevToolsBrowser::Windows() const {
    std::vector<std::shared_ptr<IBrowserWindow>> windows;
    for (const QString& targetId : order_) {
        const auto found = targets_.find(targetId);
        if (found != targets_.end() && found->second.window) {
            windows.push_back(found->second.window);
        }
    }
    return windows;
}

DevToolsBrowser::Target* DevToolsBrowser::Find(const QString& targetId) {
    const auto found = targets_.find(targetId);
    return found == targets_.end() ? nullptr : &found->second;
}

std::shared_ptr<DevToolsWindow> DevToolsBrowser::RegisteredWindow(const QString& targetId) {
    const Target* target = Find(targetId);
    return target != nullptr && target->registered ? target->window : nullptr;
}

void DevToolsBrowser::OnOpened() {
    // Every document request of the browser waits for us, from the start: a page's
    // first request goes out before the page could be attached and told to wait,
    // and a blocked pop-up must not reach the server.
    connection_.Send(
        QStringLiteral("Fetch.enable"),
        {{QStringLiteral("patterns"),
          QJsonArray{QJsonObject{{QStringLiteral("urlPattern"), QStringLiteral("*")},
                                 {QStringLiteral("resourceType"), QStringLiteral("Document")},
                                 {QStringLiteral("requestStage"), QStringLiteral("Request")}}}}});
    // Pages only: the browser's own user-interface targets are not windows.
    connection_.Send(
        QStringLiteral("Target.setDiscoverTargets"),
        {{QStringLiteral("discover"), true}, {QStringLiteral("filter"), PageFilter()}});
    // Every page, present and future, is attached; future ones wait until we let them run.
    connection_.Send(QStringLiteral("Target.setAutoAttach"),
                     {{QStringLiteral("autoAttach"), true},
                      {QStringLiteral("waitForDebuggerOnStart"), true},
                      {QStringLiteral("flatten"), true},
                      {QStringLiteral("filter"), PageFilter()}});
}

void DevToolsBrowser::OnClosed() {
    // Revoke one window at a time, each after it left the list.
    while (!order_.empty()) {
        Revoke(order_.front());
    }
    for (auto& [targetId, target] : targets_) {
        if (target.window) {
            target.window->Detach();
        }
    }
    targets_.clear();
    sessions_.clear();
    Q_EMIT closed();
}

void DevToolsBrowser::OnEvent(const QString& method, const QJsonObject& params,
                              const QString& sessionId) {
    if (method == QLatin1String("Fetch.requestPaused") && sessionId.isEmpty()) {
        OnRequestPaused(params);
        return;
    }
    if (!sessionId.isEmpty()) {
        const auto session = sessions_.find(sessionId);
        if (session != sessions_.end()) {
            OnSessionEvent(session->second, method, params);
        }
        return;
    }
    if (method == QLatin1String("Target.targetCreated") ||
        method == QLatin1String("Target.targetInfoChanged")) {
        OnTargetInfo(params.value(QStringLiteral("targetInfo")).toObject());
    } else if (method == QLatin1String("Target.targetDestroyed")) {
        OnTargetDestroyed(params.value(QStringLiteral("targetId")).toString());
    } else if (method == QLatin1String("Target.attachedToTarget")) {
        OnAttached(params.value(QStringLiteral("sessionId")).toString(),
                   params.value(QStringLiteral("targetInfo")).toObject(),
                   params.value(QStringLiteral("waitingForDebugger")).toBool());
    } else if (method == QLatin1String("Target.detachedFromTarget")) {
        sessions_.erase(params.value(QStringLiteral("sessionId")).toString());
    }
}

void DevToolsBrowser::OnTargetInfo(const QJsonObject& info) {
    if (info.value(QStringLiteral("type")).toString() != kPage) {
        return;
    }
    const QString targetId = info.value(QStringLiteral("targetId")).toString();
    if (targetId.isEmpty()) {
        return;
    }
    Target& target = targets_[targetId];
    target.title = Std(info.value(QStringLiteral("title")).toString());
    target.url = Std(info.value(QStringLiteral("url")).toString());
    if (info.contains(QStringLiteral("openerId"))) {
        target.openerId = info.value(QStringLiteral("openerId")).toString();
    }
    if (target.window) {
        target.window->SetTitle(target.title);
        target.window->SetUrl(target.url);
    }
}

void DevToolsBrowser::OnTargetDestroyed(const QString& targetId) {
    Revoke(targetId);
    const auto found = targets_.find(targetId);
    if (found != targets_.end()) {
        if (found->second.window) {
            found->second.window->Detach();
        }
        sessions_.erase(found->second.sessionId);
        for (auto frame = frameOwners_.begin(); frame != frameOwners_.end();) {
            frame = frame->second == targetId ? frameOwners_.erase(frame) : std::next(frame);
        }
        targets_.erase(found);
    }
}

void DevToolsBrowser::OnAttached(const QString& sessionId, const QJsonObject& info, bool waiting) {
    const QString targetId = info.value(QStringLiteral("targetId")).toString();
    if (info.value(QStringLiteral("type")).toString() != kPage || targetId.isEmpty()) {
        // Not a window: let it run and let go of it.
        if (waiting) {
            connection_.Send(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, sessionId);
        }
        connection_.Send(QStringLiteral("Target.detachFromTarget"),
                         {{QStringLiteral("sessionId"), sessionId}});
        return;
    }
    OnTargetInfo(info);
    Target& target = targets_[targetId];
    target.sessionId = sessionId;
    target.decided = true;
    sessions_[sessionId] = targetId;
    // Pages open before we came are windows whoever opened them; a page that a
    // page opens while we watch is a request for a new window.
    if (waiting && !target.openerId.isEmpty()) {
        DecideNewWindow(targetId);
    } else {
        SetUpPage(targetId, waiting);
    }
    // Requests that came before the decision go the way of their page.
    if (Target* decided = Find(targetId)) {
        const std::vector<QString> paused = std::exchange(decided->pausedRequests, {});
        for (const QString& requestId : paused) {
            if (decided->blocked) {
                FailRequest(requestId, QStringLiteral("BlockedByClient"));
            } else {
                ContinueRequest(requestId);
            }
        }
    }
}

void DevToolsBrowser::ContinueRequest(const QString& requestId) {
    connection_.Send(QStringLiteral("Fetch.continueRequest"),
                     {{QStringLiteral("requestId"), requestId}});
}

void DevToolsBrowser::FailRequest(const QString& requestId, const QString& reason) {
    connection_.Send(
        QStringLiteral("Fetch.failRequest"),
        {{QStringLiteral("requestId"), requestId}, {QStringLiteral("errorReason"), reason}});
}

QString DevToolsBrowser::TargetOfFrame(const QString& frameId) const {
    if (targets_.count(frameId) != 0) {
        return frameId;  // a page's main frame has the page's id
    }
    const auto owner = frameOwners_.find(frameId);
    return owner == frameOwners_.end() ? QString() : owner->second;
}

void DevToolsBrowser::DecideNewWindow(const QString& targetId) {
    const Target* target = Find(targetId);
    if (target == nullptr) {
        return;
    }
    bool cancel = false;
    if (const auto opener = RegisteredWindow(target->openerId)) {
        opener->Receivers().ForEach([&](IBrowserEvents& events) { events.NewWindow2(cancel); });
    }
    if (cancel) {
        BlockNewWindow(targetId);
    } else {
        SetUpPage(targetId, true);
    }
}

void DevToolsBrowser::BlockNewWindow(const QString& targetId) {
    Target* target = Find(targetId);
    if (target == nullptr) {
        return;
    }
    target->blocked = true;
    // Closing a page while it waits would leave its opener waiting for good: it is
    // let run, its document request failed (OnRequestPaused), and closed.
    connection_.Send(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, target->sessionId);
    connection_.Send(QStringLiteral("Target.closeTarget"),
                     {{QStringLiteral("targetId"), targetId}});
}

void DevToolsBrowser::SetUpPage(const QString& targetId, bool waiting) {
    Target* target = Find(targetId);
    if (target == nullptr) {
        return;
    }
    const QString session = target->sessionId;
    if (!target->window) {
        target->window = std::make_shared<DevToolsWindow>(hooks_.handleFor(targetId), targetId,
                                                          session, &connection_);
        target->window->SetTitle(target->title);
        target->window->SetUrl(target->url);
    }
    const QString script = QString::fromUtf8(kDocumentEventsScript).arg(bindingName_);
    connection_.Send(QStringLiteral("Page.enable"), {}, session);
    connection_.Send(QStringLiteral("Page.setLifecycleEventsEnabled"),
                     {{QStringLiteral("enabled"), true}}, session);
    connection_.Send(QStringLiteral("Runtime.enable"), {}, session);
    connection_.Send(QStringLiteral("Runtime.addBinding"), {{QStringLiteral("name"), bindingName_}},
                     session);
    connection_.Send(QStringLiteral("Page.addScriptToEvaluateOnNewDocument"),
                     {{QStringLiteral("source"), script}}, session);
    connection_.Send(QStringLiteral("Runtime.evaluate"), {{QStringLiteral("expression"), script}},
                     session);
    // The frames it holds already, so that their requests are known as its own.
    connection_.Send(QStringLiteral("Page.getFrameTree"), {}, session,
                     [this, targetId](const QJsonObject& result, const QString& error) {
                         if (error.isEmpty() && Find(targetId) != nullptr) {
                             RecordFrames(targetId,
                                          result.value(QStringLiteral("frameTree")).toObject());
                         }
                     });
    if (waiting) {
        connection_.Send(QStringLiteral("Runtime.runIfWaitingForDebugger"), {}, session);
    }
    // The window is listed once its history is known, so that a monitor wired at
    // once reads the right back/forward state.
    RefreshHistory(targetId);
}

void DevToolsBrowser::RecordFrames(const QString& targetId, const QJsonObject& tree) {
    const QJsonArray children = tree.value(QStringLiteral("childFrames")).toArray();
    for (const auto& child : children) {
        const QJsonObject childTree = child.toObject();
        const QString frameId = childTree.value(QStringLiteral("frame"))
                                    .toObject()
                                    .value(QStringLiteral("id"))
                                    .toString();
        if (!frameId.isEmpty()) {
            frameOwners_[frameId] = targetId;
        }
        RecordFrames(targetId, childTree);
    }
}

void DevToolsBrowser::RefreshHistory(const QString& targetId) {
    const Target* target = Find(targetId);
    if (target == nullptr) {
        return;
    }
    connection_.Send(
        QStringLiteral("Page.getNavigationHistory"), {}, target->sessionId,
        [this, targetId](const QJsonObject& result, const QString& error) {
            Target* current = Find(targetId);
            if (current == nullptr || !current->window) {
                return;
            }
            if (error.isEmpty()) {
                const QJsonArray entries = result.value(QStringLiteral("entries")).toArray();
                const auto index = result.value(QStringLiteral("currentIndex")).toInt(-1);
                NavigationHistory history;
                history.canGoBack = index > 0;
                history.canGoForward = index >= 0 && index + 1 < entries.size();
                const int forwardEntry =
                    history.canGoForward
                        ? entries.at(index + 1).toObject().value(QStringLiteral("id")).toInt(-1)
                        : -1;
                const auto window = current->window;
                // The title of the entry shown: the browser does not always report a
                // document's title as a change of its target.
                const QString title =
                    index >= 0 && index < entries.size()
                        ? entries.at(index).toObject().value(QStringLiteral("title")).toString()
                        : QString();
                if (!title.isEmpty()) {
                    current->title = Std(title);
                    window->SetTitle(current->title);
                }
                const bool wasRegistered = current->registered;
                window->SetHistory(history, forwardEntry);
                if (wasRegistered) {
                    return;
                }
            } else if (current->registered) {
                return;
            }
            // A page that cannot tell its history is still a window (going forward
            // then counts as unavailable).
            Register(targetId);
        });
}

void DevToolsBrowser::Register(const QString& targetId) {
    Target* target = Find(targetId);
    if (target == nullptr || target->registered || target->blocked || !target->window) {
        return;
    }
    if (!target->window->History()) {
        target->window->SetHistory({}, -1);
    }
    target->registered = true;
    order_.push_back(targetId);
    if (const auto notify = hooks_.registered) {
        notify();
    }
}

void DevToolsBrowser::Revoke(const QString& targetId) {
    const auto position = std::find(order_.begin(), order_.end(), targetId);
    if (position == order_.end()) {
        return;
    }
    order_.erase(position);
    if (Target* target = Find(targetId)) {
        target->registered = false;
    }
    if (const auto notify = hooks_.revoked) {
        notify();
    }
}

void DevToolsBrowser::OnSessionEvent(const QString& targetId, const QString& method,
                                     const QJsonObject& params) {
    if (method == QLatin1String("Page.frameNavigated")) {
        const QJsonObject frame = params.value(QStringLiteral("frame")).toObject();
        if (frame.contains(QStringLiteral("parentId"))) {
            frameOwners_[frame.value(QStringLiteral("id")).toString()] = targetId;
        }
    }
    if (method == QLatin1String("Page.frameAttached")) {
        frameOwners_[params.value(QStringLiteral("frameId")).toString()] = targetId;
        return;
    }
    if (method == QLatin1String("Page.frameDetached")) {
        frameOwners_.erase(params.value(QStringLiteral("frameId")).toString());
        return;
    }
    const auto window = RegisteredWindow(targetId);
    if (!window) {
        return;  // a window not listed yet, or no more, has nobody to tell
    }
    const QString frameId = params.value(QStringLiteral("frameId")).toString();
    const bool mainFrame = frameId == targetId;
    if (method == QLatin1String("Page.frameStartedLoading")) {
        if (mainFrame) {
            window->Receivers().ForEach([](IBrowserEvents& events) { events.DownloadBegin(); });
        }
    } else if (method == QLatin1String("Page.frameStoppedLoading")) {
        if (mainFrame) {
            window->Receivers().ForEach([](IBrowserEvents& events) { events.DownloadComplete(); });
        }
    } else if (method == QLatin1String("Page.frameNavigated") ||
               method == QLatin1String("Page.navigatedWithinDocument")) {
        QString id = frameId;
        std::string url = Std(params.value(QStringLiteral("url")).toString());
        if (method == QLatin1String("Page.frameNavigated")) {
            const QJsonObject frame = params.value(QStringLiteral("frame")).toObject();
            id = frame.value(QStringLiteral("id")).toString();
            url = Std(frame.value(QStringLiteral("url")).toString() +
                      frame.value(QStringLiteral("urlFragment")).toString());
        }
        if (Target* target = Find(targetId)) {
            target->frameUrls[id] = url;
        }
        if (id == targetId) {
            window->SetUrl(url);
        }
        const BrowserDispatch dispatch = DispatchFor(*window, id);
        window->Receivers().ForEach(
            [&](IBrowserEvents& events) { events.NavigateComplete2(dispatch, url); });
        if (id == targetId) {
            RefreshHistory(targetId);
        }
    } else if (method == QLatin1String("Page.lifecycleEvent")) {
        const QString name = params.value(QStringLiteral("name")).toString();
        if (mainFrame &&
            (name == QLatin1String("DOMContentLoaded") || name == QLatin1String("load"))) {
            RefreshHistory(targetId);  // the document's title is known by now
        }
        if (name != QLatin1String("load")) {
            return;
        }
        std::string url = mainFrame ? window->LocationURL() : std::string();
        if (const Target* target = Find(targetId); target != nullptr && !mainFrame) {
            const auto frame = target->frameUrls.find(frameId);
            if (frame != target->frameUrls.end()) {
                url = frame->second;
            }
        }
        const BrowserDispatch dispatch = DispatchFor(*window, frameId);
        window->Receivers().ForEach(
            [&](IBrowserEvents& events) { events.DocumentComplete(dispatch, url); });
    } else if (method == QLatin1String("Runtime.bindingCalled")) {
        OnBindingCalled(targetId, params);
    }
}

void DevToolsBrowser::OnRequestPaused(const QJsonObject& params) {
    const QString requestId = params.value(QStringLiteral("requestId")).toString();
    const QString frameId = params.value(QStringLiteral("frameId")).toString();
    const QString targetId = TargetOfFrame(frameId);
    Target* target = Find(targetId);
    if (target == nullptr) {
        ContinueRequest(requestId);  // not a window's: none of our business
        return;
    }
    if (target->blocked) {
        FailRequest(requestId, QStringLiteral("BlockedByClient"));
        return;
    }
    if (!target->decided) {
        target->pausedRequests.push_back(requestId);  // its page's fate is not known yet
        return;
    }
    bool cancel = false;
    if (const auto window = RegisteredWindow(targetId)) {
        const QJsonObject request = params.value(QStringLiteral("request")).toObject();
        const QJsonObject headerObject = request.value(QStringLiteral("headers")).toObject();
        std::string headers;
        for (auto header = headerObject.begin(); header != headerObject.end(); ++header) {
            headers += Std(header.key()) + ": " + Std(header.value().toString()) + "\r\n";
        }
        const std::string url = Std(request.value(QStringLiteral("url")).toString());
        const std::string postData = Std(request.value(QStringLiteral("postData")).toString());
        const BrowserDispatch dispatch = DispatchFor(*window, frameId);
        window->Receivers().ForEach([&](IBrowserEvents& events) {
            events.BeforeNavigate2(dispatch, url, 0, std::string(), postData, headers, cancel);
        });
    }
    if (cancel) {
        FailRequest(requestId, QStringLiteral("Aborted"));
    } else {
        ContinueRequest(requestId);
    }
}

void DevToolsBrowser::OnBindingCalled(const QString& targetId, const QJsonObject& params) {
    if (params.value(QStringLiteral("name")).toString() != bindingName_) {
        return;
    }
    const auto window = RegisteredWindow(targetId);
    const QJsonObject event =
        QJsonDocument::fromJson(params.value(QStringLiteral("payload")).toString().toUtf8())
            .object();
    if (!window || event.isEmpty()) {
        return;
    }
    const auto coordinate = [&](const char* name) {
        return event.value(QLatin1String(name)).toInt();
    };
    window->SetClientOrigin({coordinate("screenX") - coordinate("clientX"),
                             coordinate("screenY") - coordinate("clientY")});
    const QString type = event.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("mousedown")) {
        window->Receivers().ForEach([](IBrowserEvents& events) { events.DocumentMouseDown(); });
    } else if (type == QLatin1String("mouseup")) {
        window->Receivers().ForEach([](IBrowserEvents& events) { events.DocumentMouseUp(); });
    } else if (type == QLatin1String("contextmenu")) {
        // The menu is already on its way: the answer cannot hold it back.
        window->Receivers().ForEach(
            [](IBrowserEvents& events) { static_cast<void>(events.DocumentContextMenu()); });
    }
}

}  // namespace orvelle::browsers::devtools
