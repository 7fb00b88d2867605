#include "X11TestClient.h"

// GoogleTest before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <thread>

namespace orvelle::test {
namespace {

// Errors are expected (a grab refused, a window gone): remember them instead of exiting.
int g_lastError = 0;
int RecordError(Display* /*display*/, XErrorEvent* error) {
    g_lastError = error->error_code;
    return 0;
}

Atom Intern(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

}  // namespace

X11TestClient::X11TestClient() : display_(XOpenDisplay(nullptr)) {
    if (display_ == nullptr) {
        ADD_FAILURE() << "no X display: these tests run under Xvfb";
        return;
    }
    XSetErrorHandler(&RecordError);
}

X11TestClient::~X11TestClient() {
    if (display_ != nullptr) {
        for (const Window window : windows_) {
            XDestroyWindow(display_, window);
        }
        XCloseDisplay(display_);
    }
}

unsigned char X11TestClient::KeyCode(KeySym key) const {
    return XKeysymToKeycode(display_, key);
}

X11TestClient::Window X11TestClient::Root() const {
    return DefaultRootWindow(display_);
}

X11TestClient::Window X11TestClient::CreateWindow(const std::optional<std::string>& title, bool map,
                                                  const std::string& type, bool utf8Only) {
    XSetWindowAttributes attributes{};
    attributes.background_pixel = WhitePixel(display_, DefaultScreen(display_));
    attributes.event_mask = StructureNotifyMask;
    const Window window = XCreateWindow(
        display_, Root(), 40 + 30 * static_cast<int>(windows_.size()), 40, 200, 120, 0,
        CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    windows_.push_back(window);
    if (title) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(title->data());
        const int length = static_cast<int>(title->size());
        if (!utf8Only) {
            XChangeProperty(display_, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace, bytes,
                            length);
        } else {
            XChangeProperty(display_, window, Intern(display_, "_NET_WM_NAME"),
                            Intern(display_, "UTF8_STRING"), 8, PropModeReplace, bytes, length);
        }
    }
    if (!type.empty()) {
        const Atom typeAtom = Intern(display_, ("_NET_WM_WINDOW_TYPE_" + type).c_str());
        XChangeProperty(display_, window, Intern(display_, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&typeAtom), 1);
    }
    if (map) {
        Map(window);
    }
    XSync(display_, False);
    return window;
}

X11TestClient::Window X11TestClient::CreateOverrideRedirect() {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    const Window window =
        XCreateWindow(display_, Root(), 10, 10, 50, 50, 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWOverrideRedirect, &attributes);
    windows_.push_back(window);
    XStoreName(display_, window, "Popup menu");
    Map(window);
    return window;
}

void X11TestClient::Destroy(Window window) {
    XDestroyWindow(display_, window);
    XSync(display_, False);
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

void X11TestClient::Map(Window window) {
    XMapWindow(display_, window);
    XSync(display_, False);
}

void X11TestClient::Focus(Window window, bool revertToNone) {
    XRaiseWindow(display_, window);
    XSetInputFocus(display_, window, revertToNone ? RevertToNone : RevertToParent, CurrentTime);
    XSync(display_, False);
}

X11TestClient::Window X11TestClient::FocusedWindow() {
    ::Window focus = None;
    int revertTo = 0;
    XGetInputFocus(display_, &focus, &revertTo);
    return focus;
}

void X11TestClient::Withdraw(Window window) {
    XWithdrawWindow(display_, window, DefaultScreen(display_));
    XSync(display_, False);
}

int X11TestClient::MapState(Window window) {
    XWindowAttributes attributes{};
    g_lastError = 0;
    if (XGetWindowAttributes(display_, window, &attributes) == 0 || g_lastError != 0) {
        return -1;
    }
    return attributes.map_state;
}

bool X11TestClient::WaitForMapState(Window window, int state, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (MapState(window) != state) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void X11TestClient::Tap(KeySym key, const std::vector<KeySym>& modifiers) {
    for (const KeySym modifier : modifiers) {
        XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, modifier), True, CurrentTime);
    }
    const ::KeyCode code = XKeysymToKeycode(display_, key);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    for (auto modifier = modifiers.rbegin(); modifier != modifiers.rend(); ++modifier) {
        XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, *modifier), False, CurrentTime);
    }
    XSync(display_, False);
}

void X11TestClient::PressHotKey() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (FocusedWindow() == None && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Tap(XK_h, {XK_Control_L, XK_Alt_L});
}

bool X11TestClient::LockOn(const char* indicatorName) {
    int index = -1;
    const Atom name = Intern(display_, indicatorName);
    Bool on = False;
    if (XkbGetNamedIndicator(display_, name, &index, &on, nullptr, nullptr) == 0) {
        return false;
    }
    return on != False;
}

void X11TestClient::SetLock(KeySym lockKey, const char* indicatorName, bool on) {
    if (LockOn(indicatorName) != on) {
        Tap(lockKey);
    }
}

bool X11TestClient::GrabHotKey() {
    g_lastError = 0;
    XGrabKey(display_, XKeysymToKeycode(display_, XK_h), ControlMask | Mod1Mask, Root(), False,
             GrabModeAsync, GrabModeAsync);
    XSync(display_, False);
    return g_lastError == 0;
}

void X11TestClient::UngrabHotKey() {
    XUngrabKey(display_, XKeysymToKeycode(display_, XK_h), ControlMask | Mod1Mask, Root());
    XSync(display_, False);
}

bool X11TestClient::WaitForKeyPress(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        while (XPending(display_) > 0) {
            XEvent event{};
            XNextEvent(display_, &event);
            if (event.type == KeyPress) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

bool X11TestClient::WindowManagerRuns() {
    const Atom check = Intern(display_, "_NET_SUPPORTING_WM_CHECK");
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const bool present = XGetWindowProperty(display_, Root(), check, 0, 1, False, XA_WINDOW, &type,
                                            &format, &count, &after, &data) == Success &&
                         count == 1;
    if (data != nullptr) {
        XFree(data);
    }
    return present;
}

std::optional<X11TestClient::Geometry> X11TestClient::GeometryOf(Window window) {
    g_lastError = 0;
    ::Window rootReturn = None;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    ::Window child = None;
    if (XGetGeometry(display_, window, &rootReturn, &x, &y, &width, &height, &border, &depth) ==
            0 ||
        XTranslateCoordinates(display_, window, Root(), 0, 0, &x, &y, &child) == 0 ||
        g_lastError != 0) {
        return std::nullopt;
    }
    return Geometry{x, y, static_cast<int>(width), static_cast<int>(height)};
}

void X11TestClient::MoveResize(Window window, const Geometry& geometry) {
    XMoveResizeWindow(display_, window, geometry.x, geometry.y,
                      static_cast<unsigned>(geometry.width),
                      static_cast<unsigned>(geometry.height));
    XSync(display_, False);
}

std::vector<std::string> X11TestClient::StateOf(Window window) {
    std::vector<std::string> names;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, window, Intern(display_, "_NET_WM_STATE"), 0, 64, False,
                           XA_ATOM, &type, &format, &count, &after, &data) == Success &&
        data != nullptr) {
        const auto* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count; ++i) {
            if (char* name = XGetAtomName(display_, atoms[i])) {
                names.emplace_back(name);
                XFree(name);
            }
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void X11TestClient::AddState(Window window, const char* first, const char* second) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = Intern(display_, "_NET_WM_STATE");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // add
    event.xclient.data.l[1] = static_cast<long>(Intern(display_, first));
    event.xclient.data.l[2] = second != nullptr ? static_cast<long>(Intern(display_, second)) : 0;
    event.xclient.data.l[3] = 1;  // an application asks
    XSendEvent(display_, Root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XSync(display_, False);
}

}  // namespace orvelle::test
