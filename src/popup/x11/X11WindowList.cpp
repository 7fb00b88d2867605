#include "X11WindowList.h"

#include <poll.h>

#include <cstring>
#include <deque>
#include <utility>

namespace orvelle::popup::x11 {
namespace {

constexpr std::uint32_t kIcccmWithdrawnMask =
    XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;

xcb_window_t ToX(desktop::WindowHandle window) {
    return static_cast<xcb_window_t>(window);
}

bool FitsX(desktop::WindowHandle window) {
    return window != 0 && window <= 0xFFFFFFFFU;
}

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name) {
    const desktop::x11::XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

}  // namespace

std::string CutUtf8(std::string text, std::size_t maxLength) {
    if (text.size() <= maxLength) {
        return text;
    }
    std::size_t end = maxLength;
    // Step back over continuation bytes to the start of the character that does not fit.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0U) == 0x80U) {
        --end;
    }
    text.resize(end);
    return text;
}

std::string Latin1ToUtf8(const std::string& text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80U) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0U | (byte >> 6U));
            utf8 += static_cast<char>(0x80U | (byte & 0x3FU));
        }
    }
    return utf8;
}

X11WindowList::X11WindowList(std::string displayName, std::chrono::milliseconds mapTimeout)
    : displayName_(std::move(displayName)), mapTimeout_(mapTimeout) {
}

xcb_connection_t* X11WindowList::Connection() {
    if (connection_ && xcb_connection_has_error(connection_.get()) == 0) {
        return connection_.get();
    }
    connection_.reset();
    int screenNumber = 0;
    desktop::x11::XcbConnection connection(
        xcb_connect(displayName_.empty() ? nullptr : displayName_.c_str(), &screenNumber));
    // xcb_connect never returns null: a failed connection is an object in an error state.
    if (xcb_connection_has_error(connection.get()) != 0) {
        return nullptr;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    if (screens.rem == 0) {
        return nullptr;
    }
    root_ = screens.data->root;
    xcb_connection_t* raw = connection.get();
    atoms_.supportingWmCheck = InternAtom(raw, "_NET_SUPPORTING_WM_CHECK");
    atoms_.clientList = InternAtom(raw, "_NET_CLIENT_LIST");
    atoms_.clientListStacking = InternAtom(raw, "_NET_CLIENT_LIST_STACKING");
    atoms_.wmName = InternAtom(raw, "_NET_WM_NAME");
    atoms_.utf8String = InternAtom(raw, "UTF8_STRING");
    atoms_.wmState = InternAtom(raw, "WM_STATE");
    atoms_.windowType = InternAtom(raw, "_NET_WM_WINDOW_TYPE");
    atoms_.typeDesktop = InternAtom(raw, "_NET_WM_WINDOW_TYPE_DESKTOP");
    atoms_.typeDock = InternAtom(raw, "_NET_WM_WINDOW_TYPE_DOCK");
    atoms_.wmStateNet = InternAtom(raw, "_NET_WM_STATE");
    atoms_.maximizedVert = InternAtom(raw, "_NET_WM_STATE_MAXIMIZED_VERT");
    atoms_.maximizedHorz = InternAtom(raw, "_NET_WM_STATE_MAXIMIZED_HORZ");
    atoms_.fullscreen = InternAtom(raw, "_NET_WM_STATE_FULLSCREEN");
    atoms_.sticky = InternAtom(raw, "_NET_WM_STATE_STICKY");
    atoms_.wmDesktop = InternAtom(raw, "_NET_WM_DESKTOP");
    atoms_.moveResize = InternAtom(raw, "_NET_MOVERESIZE_WINDOW");
    connection_ = std::move(connection);
    return connection_.get();
}

std::optional<std::vector<xcb_window_t>> X11WindowList::WindowProperty(xcb_window_t window,
                                                                       xcb_atom_t property) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || property == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const desktop::x11::XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1U << 16U),
        nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 32) {
        return std::nullopt;
    }
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    const auto count = static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) / 4U;
    return std::vector<xcb_window_t>(values, values + count);
}

bool X11WindowList::HasProperty(xcb_window_t window, xcb_atom_t property) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || property == XCB_ATOM_NONE) {
        return false;
    }
    const desktop::x11::XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0),
        nullptr));
    return reply && reply->type != XCB_ATOM_NONE;
}

bool X11WindowList::WindowManagerRuns() {
    // A manager that died leaves its properties behind; its check window proves it lives.
    const auto check = WindowProperty(root_, atoms_.supportingWmCheck);
    if (!check || check->empty()) {
        return false;
    }
    const auto own = WindowProperty(check->front(), atoms_.supportingWmCheck);
    return own && !own->empty() && own->front() == check->front();
}

xcb_window_t X11WindowList::ClientOf(xcb_window_t frame, int depth) {
    if (HasProperty(frame, atoms_.wmState)) {
        return frame;
    }
    if (depth == 0) {
        return XCB_WINDOW_NONE;
    }
    xcb_connection_t* connection = Connection();
    const desktop::x11::XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, frame), nullptr));
    if (!tree) {
        return XCB_WINDOW_NONE;
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
        const xcb_window_t client = ClientOf(children[i], depth - 1);
        if (client != XCB_WINDOW_NONE) {
            return client;
        }
    }
    return XCB_WINDOW_NONE;
}

std::vector<desktop::WindowHandle> X11WindowList::EnumWindows() {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr) {
        return {};
    }
    std::vector<desktop::WindowHandle> windows;
    if (WindowManagerRuns()) {
        auto clients = WindowProperty(root_, atoms_.clientListStacking);
        if (!clients) {
            clients = WindowProperty(root_, atoms_.clientList);
        }
        if (clients) {
            windows.assign(clients->begin(), clients->end());
            return windows;
        }
    }
    const desktop::x11::XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, root_), nullptr));
    if (!tree) {
        return {};
    }
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    std::deque<xcb_get_window_attributes_cookie_t> cookies;
    for (int i = 0; i < count; ++i) {
        cookies.push_back(xcb_get_window_attributes(connection, children[i]));
    }
    for (int i = 0; i < count; ++i) {
        const desktop::x11::XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(connection, cookies[static_cast<std::size_t>(i)],
                                            nullptr));
        // Menus, tooltips and input-only helpers are no application windows.
        if (!attributes || attributes->override_redirect != 0 ||
            attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY) {
            continue;
        }
        // A frame of a manager without EWMH holds the client; a window nobody manages is
        // its own top-level window.
        const xcb_window_t client = ClientOf(children[i], 2);
        windows.push_back(client != XCB_WINDOW_NONE ? client : children[i]);
    }
    return windows;
}

std::string X11WindowList::GetWindowTextA(desktop::WindowHandle window, std::size_t maxLength) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || !FitsX(window)) {
        return {};
    }
    const auto read = [&](xcb_atom_t property) -> desktop::x11::XcbReply<xcb_get_property_reply_t> {
        return desktop::x11::XcbReply<xcb_get_property_reply_t>(
            xcb_get_property_reply(connection,
                                   xcb_get_property(connection, 0, ToX(window), property,
                                                    XCB_GET_PROPERTY_TYPE_ANY, 0, 1U << 14U),
                                   nullptr));
    };
    const auto text = [](const desktop::x11::XcbReply<xcb_get_property_reply_t>& reply) {
        return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                           static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    };
    if (const auto name = read(atoms_.wmName);
        name && name->type == atoms_.utf8String && name->format == 8) {
        return CutUtf8(text(name), maxLength);
    }
    const auto name = read(XCB_ATOM_WM_NAME);
    if (!name || name->type == XCB_ATOM_NONE || name->format != 8) {
        return {};
    }
    // WM_NAME is Latin-1 unless a client declares it UTF-8.
    return CutUtf8(name->type == atoms_.utf8String ? text(name) : Latin1ToUtf8(text(name)),
                   maxLength);
}

bool X11WindowList::IsWindowVisible(desktop::WindowHandle window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || !FitsX(window)) {
        return false;
    }
    const desktop::x11::XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, ToX(window)), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool X11WindowList::IsDesktopWindow(desktop::WindowHandle window) {
    if (Connection() == nullptr || !FitsX(window)) {
        return false;
    }
    const auto types = WindowProperty(ToX(window), atoms_.windowType);
    if (!types) {
        return false;
    }
    for (const xcb_atom_t type : *types) {
        if (type == atoms_.typeDesktop || type == atoms_.typeDock) {
            return true;
        }
    }
    return false;
}

bool X11WindowList::ShowWindow(desktop::WindowHandle window, int command) {
    if (Connection() == nullptr || !FitsX(window)) {
        return false;
    }
    if (command == SW_HIDE) {
        return Withdraw(ToX(window));
    }
    if (command == SW_SHOW) {
        return MapAndWait(ToX(window));
    }
    return false;
}

bool X11WindowList::Withdraw(xcb_window_t window) {
    xcb_connection_t* connection = connection_.get();
    const desktop::x11::XcbError error(
        xcb_request_check(connection, xcb_unmap_window_checked(connection, window)));
    if (error) {
        return false;
    }
    // The synthetic UnmapNotify tells a window manager that the window is withdrawn, not
    // iconified; it then lets go of it until it is mapped again.
    xcb_unmap_notify_event_t notify{};
    notify.response_type = XCB_UNMAP_NOTIFY;
    notify.event = root_;
    notify.window = window;
    notify.from_configure = 0;
    char event[32] = {};
    std::memcpy(event, &notify, sizeof notify);
    xcb_send_event(connection, 0, root_, kIcccmWithdrawnMask, event);
    // The round trip also makes sure the notice went out before we report the window hidden.
    const desktop::x11::XcbReply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    if (focus && focus->focus == XCB_NONE) {
        // The hidden window had the focus and took it along. With no window focused the
        // server drops every key, the hot key that would bring the windows back included;
        // a window manager moves the focus on by itself, later. PointerRoot is always a
        // valid focus: the check only waits until the server has it.
        const desktop::x11::XcbError neverFails(xcb_request_check(
            connection,
            xcb_set_input_focus_checked(connection, XCB_INPUT_FOCUS_POINTER_ROOT,
                                        XCB_INPUT_FOCUS_POINTER_ROOT, XCB_CURRENT_TIME)));
    }
    return true;
}

bool X11WindowList::MapAndWait(xcb_window_t window) {
    xcb_connection_t* connection = connection_.get();
    const desktop::x11::XcbReply<xcb_get_window_attributes_reply_t> before(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window),
                                        nullptr));
    if (!before) {
        return false;
    }
    if (before->map_state != XCB_MAP_STATE_UNMAPPED) {
        return true;
    }
    // Our selection on the window is our own connection's; other clients keep theirs.
    const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &structure);
    const desktop::x11::XcbError error(
        xcb_request_check(connection, xcb_map_window_checked(connection, window)));
    bool mapped = !error;
    if (mapped) {
        // With a window manager the map request goes to it, and it maps the window later.
        mapped = false;
        const auto deadline = std::chrono::steady_clock::now() + mapTimeout_;
        while (!mapped) {
            while (const desktop::x11::XcbEvent event{xcb_poll_for_event(connection)}) {
                const auto type = event->response_type & 0x7FU;
                if (type == XCB_MAP_NOTIFY &&
                    reinterpret_cast<const xcb_map_notify_event_t*>(event.get())->window ==
                        window) {
                    mapped = true;
                } else if (type == XCB_DESTROY_NOTIFY &&
                           reinterpret_cast<const xcb_destroy_notify_event_t*>(event.get())
                                   ->window == window) {
                    return false;
                }
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (mapped || left.count() <= 0 || xcb_connection_has_error(connection) != 0) {
                break;
            }
            pollfd wait{xcb_get_file_descriptor(connection), POLLIN, 0};
            static_cast<void>(::poll(&wait, 1, static_cast<int>(left.count())));
        }
    }
    const std::uint32_t nothing = 0;
    xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &nothing);
    xcb_flush(connection);
    return mapped;
}

std::optional<WindowPlacement> X11WindowList::GetWindowPlacement(desktop::WindowHandle window) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || !FitsX(window)) {
        return std::nullopt;
    }
    const desktop::x11::XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, ToX(window)), nullptr));
    const desktop::x11::XcbReply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(
            connection, xcb_translate_coordinates(connection, ToX(window), root_, 0, 0), nullptr));
    if (!geometry || !origin) {
        return std::nullopt;
    }
    WindowPlacement placement;
    placement.x = origin->dst_x;
    placement.y = origin->dst_y;
    placement.width = geometry->width;
    placement.height = geometry->height;
    if (const auto states = WindowProperty(ToX(window), atoms_.wmStateNet)) {
        for (const xcb_atom_t state : *states) {
            placement.maximizedVertically |= state == atoms_.maximizedVert;
            placement.maximizedHorizontally |= state == atoms_.maximizedHorz;
            placement.fullscreen |= state == atoms_.fullscreen;
            placement.sticky |= state == atoms_.sticky;
        }
    }
    if (const auto desktop = WindowProperty(ToX(window), atoms_.wmDesktop);
        desktop && !desktop->empty()) {
        placement.desktop = desktop->front();
    }
    return placement;
}

void X11WindowList::SendToRoot(xcb_window_t window, xcb_atom_t type,
                               const std::uint32_t (&data)[5]) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = type;
    std::memcpy(message.data.data32, data, sizeof data);
    char event[32] = {};
    std::memcpy(event, &message, sizeof message);
    xcb_send_event(connection_.get(), 0, root_, kIcccmWithdrawnMask, event);
}

bool X11WindowList::SetWindowPlacement(desktop::WindowHandle window,
                                       const WindowPlacement& placement) {
    xcb_connection_t* connection = Connection();
    if (connection == nullptr || !FitsX(window) || !GetWindowPlacement(window)) {
        return false;
    }
    const xcb_window_t target = ToX(window);
    // Source 2: a pager or a task list, which a manager obeys without second thoughts.
    constexpr std::uint32_t kSourcePager = 2;
    if (!WindowManagerRuns()) {
        // Nobody manages the window: its own geometry is its place.
        const std::uint32_t values[] = {static_cast<std::uint32_t>(placement.x),
                                        static_cast<std::uint32_t>(placement.y),
                                        static_cast<std::uint32_t>(placement.width),
                                        static_cast<std::uint32_t>(placement.height)};
        xcb_configure_window(connection, target,
                             XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                 XCB_CONFIG_WINDOW_HEIGHT,
                             values);
        const desktop::x11::XcbReply<xcb_get_input_focus_reply_t> sync(
            xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
        return true;
    }
    if (placement.desktop) {
        SendToRoot(target, atoms_.wmDesktop, {*placement.desktop, kSourcePager, 0, 0, 0});
    }
    if (!placement.fullscreen) {
        // Static gravity: x and y are the window's own corner, whatever frame it gets. A
        // maximised direction is left to the maximising, so that the window keeps its own
        // size for when it is restored.
        constexpr std::uint32_t kStaticGravity = 10;
        std::uint32_t flags = kStaticGravity | (kSourcePager << 12U);
        if (!placement.maximizedHorizontally) {
            flags |= (1U << 8U) | (1U << 10U);
        }
        if (!placement.maximizedVertically) {
            flags |= (1U << 9U) | (1U << 11U);
        }
        SendToRoot(
            target, atoms_.moveResize,
            {flags, static_cast<std::uint32_t>(placement.x),
             static_cast<std::uint32_t>(placement.y), static_cast<std::uint32_t>(placement.width),
             static_cast<std::uint32_t>(placement.height)});
    }
    constexpr std::uint32_t kAdd = 1;
    const auto add = [&](xcb_atom_t first, xcb_atom_t second) {
        SendToRoot(target, atoms_.wmStateNet, {kAdd, first, second, kSourcePager, 0});
    };
    if (placement.maximizedVertically || placement.maximizedHorizontally) {
        add(placement.maximizedVertically ? atoms_.maximizedVert : xcb_atom_t{XCB_ATOM_NONE},
            placement.maximizedHorizontally ? atoms_.maximizedHorz : xcb_atom_t{XCB_ATOM_NONE});
    }
    if (placement.fullscreen) {
        add(atoms_.fullscreen, XCB_ATOM_NONE);
    }
    if (placement.sticky) {
        add(atoms_.sticky, XCB_ATOM_NONE);
    }
    xcb_flush(connection);
    return true;
}

}  // namespace orvelle::popup::x11
