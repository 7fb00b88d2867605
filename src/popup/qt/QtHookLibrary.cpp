#include "QtHookLibrary.h"

#include "QtWindowProcedure.h"
#include "mshook/mshook.h"

#include <QtGui/qguiapplication_platform.h>
#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvelle::popup::qt {
namespace {

struct DlClose {
    void operator()(void* handle) const noexcept { ::dlclose(handle); }
};

template <typename Function>
Function Export(void* handle, const char* name) {
    void* symbol = ::dlsym(handle, name);
    Function function = nullptr;
    // dlsym hands functions over as object pointers; copying the bits is the portable way.
    static_assert(sizeof function == sizeof symbol);
    std::memcpy(&function, &symbol, sizeof function);
    return function;
}

void PostToWidget(void* /*context*/, std::uint64_t window, std::uint32_t message,
                  std::uintptr_t wParam, std::intptr_t lParam) {
    // A window that is gone takes nothing: the marker is dropped.
    static_cast<void>(QtWindowProcedure::PostMessageA(window, message, wParam, lParam));
}

}  // namespace

struct QtHookLibrary::Library {
    std::unique_ptr<void, DlClose> handle;
    decltype(&::SSKeyBoardHook) keyboardHook = nullptr;
    decltype(&::LibHook) libHook = nullptr;
    decltype(&::LibUnHook) libUnHook = nullptr;
    decltype(&::mshook_hot_key_name) hotKeyName = nullptr;
    decltype(&::mshook_status_text) statusText = nullptr;
};

// The installed hook: the handle the library keeps, and the filter feeding it key events.
struct QtHookLibrary::InstalledHook final : QAbstractNativeEventFilter {
    explicit InstalledHook(decltype(&::SSKeyBoardHook) procedure) : keyboardHook(procedure) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~InstalledHook() override {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::instance()->removeNativeEventFilter(this);
        }
    }
    InstalledHook(const InstalledHook&) = delete;
    InstalledHook& operator=(const InstalledHook&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message,
                           qintptr* /*result*/) override {
        if (eventType != "xcb_generic_event_t" || message == nullptr) {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const auto type = event->response_type & 0x7FU;
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) {
            return false;
        }
        const auto* key = static_cast<const xcb_key_press_event_t*>(message);
        return keyboardHook(MSHOOK_HC_ACTION, key->detail, reinterpret_cast<std::intptr_t>(key)) !=
               0;
    }

    mshook_hook handle{};
    decltype(&::SSKeyBoardHook) keyboardHook;
};

QtHookLibrary::QtHookLibrary() = default;

QtHookLibrary::~QtHookLibrary() {
    FreeLibrary();
}

std::string QtHookLibrary::LibraryFileName() const {
    return "libMSHook.so";
}

bool QtHookLibrary::LoadLibraryA(const std::string& path) {
    FreeLibrary();
    std::unique_ptr<void, DlClose> handle(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!handle) {
        return false;
    }
    auto library = std::make_unique<Library>();
    library->keyboardHook = Export<decltype(&::SSKeyBoardHook)>(handle.get(), "SSKeyBoardHook");
    library->libHook = Export<decltype(&::LibHook)>(handle.get(), "LibHook");
    library->libUnHook = Export<decltype(&::LibUnHook)>(handle.get(), "LibUnHook");
    library->hotKeyName =
        Export<decltype(&::mshook_hot_key_name)>(handle.get(), "mshook_hot_key_name");
    library->statusText =
        Export<decltype(&::mshook_status_text)>(handle.get(), "mshook_status_text");
    const auto version = Export<decltype(&::mshook_version)>(handle.get(), "mshook_version");
    if (library->keyboardHook == nullptr || library->libHook == nullptr ||
        library->libUnHook == nullptr || library->hotKeyName == nullptr ||
        library->statusText == nullptr || version == nullptr || version() != MSHOOK_VERSION) {
        return false;
    }
    library->handle = std::move(handle);
    library_ = std::move(library);
    return true;
}

HookHandle QtHookLibrary::SetWindowsHookExA(desktop::WindowHandle target) {
    if (!library_ || hook_ || target == 0 || target > 0xFFFFFFFFU) {
        return 0;
    }
    auto* application = qGuiApp;
    auto* x11 = application != nullptr
                    ? application->nativeInterface<QNativeInterface::QX11Application>()
                    : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr) {
        return 0;
    }
    xcb_connection_t* connection = x11->connection();
    const std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(
            connection, xcb_query_tree(connection, static_cast<xcb_window_t>(target)), nullptr),
        &std::free);
    if (!tree) {
        return 0;
    }
    hook_ = std::make_unique<InstalledHook>(library_->keyboardHook);
    hook_->handle.size = sizeof(mshook_hook);
    hook_->handle.connection = connection;
    hook_->handle.root = tree->root;
    hook_->handle.window = target;
    hook_->handle.post_message = &PostToWidget;
    hook_->handle.context = nullptr;
    return reinterpret_cast<HookHandle>(&hook_->handle);
}

HotKeyStatus QtHookLibrary::LibHook(HookHandle hook) {
    if (!library_ || !hook_ || hook != reinterpret_cast<HookHandle>(&hook_->handle)) {
        return HotKeyStatus::Unavailable;
    }
    const int status = library_->libHook(&hook_->handle);
    if (status == MSHOOK_OK) {
        return HotKeyStatus::Active;
    }
    // Quietly: the program runs on without the hot key, and says why on its error output.
    std::fprintf(stderr, "orvelle: hot key %s not available: %s\n", library_->hotKeyName(),
                 library_->statusText(status));
    return status == MSHOOK_KEY_TAKEN ? HotKeyStatus::Taken : HotKeyStatus::Unavailable;
}

void QtHookLibrary::LibUnHook(HookHandle hook) {
    if (!library_ || !hook_ || hook != reinterpret_cast<HookHandle>(&hook_->handle)) {
        return;
    }
    // Nothing to do with the status: the hook is forgotten on both sides either way.
    static_cast<void>(library_->libUnHook(&hook_->handle));
    hook_.reset();
}

void QtHookLibrary::FreeLibrary() {
    // The filter calls into the library: it goes before the library does.
    if (hook_) {
        LibUnHook(reinterpret_cast<HookHandle>(&hook_->handle));
    }
    hook_.reset();
    library_.reset();
}

std::string QtHookLibrary::HotKeyName() const {
    return library_ ? library_->hotKeyName() : std::string();
}

}  // namespace orvelle::popup::qt
