#include "desktop/launch_feedback.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace vornisel {

namespace {

bool onPlatform(const char* name) {
    return QGuiApplication::platformName().startsWith(name);
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const auto cookie =
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

struct X11Display {
    xcb_connection_t* connection;
    xcb_window_t root;
};

std::optional<X11Display> x11Display() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!onPlatform("xcb") || !x11) return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    return X11Display{connection, xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root};
}

// A launcher's startup id ends in "_TIME" and the X server time of the user's action.
std::optional<uint32_t> launchTime(const std::string& startupId) {
    const size_t at = startupId.rfind("_TIME");
    if (at == std::string::npos) return std::nullopt;
    const char* last = startupId.data() + startupId.size();
    uint32_t time = 0;
    const auto [end, error] = std::from_chars(startupId.data() + at + 5, last, time);
    if (error != std::errc() || end != last || time == 0) return std::nullopt;
    return time;
}

// Asks the window manager to activate `window` as the user's action at `time` asked for it.
void activate(const X11Display& display, QWidget& window, uint32_t time) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window.winId());
    event.type = atom(display.connection, "_NET_ACTIVE_WINDOW");
    event.data.data32[0] = 1;  // the request comes from an application
    event.data.data32[1] = time;
    xcb_send_event(display.connection, 0, display.root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

// The message's value, quoted, with '"' and '\' escaped as the protocol asks.
std::string removeMessage(const std::string& startupId) {
    std::string message = "remove: ID=\"";
    for (char c : startupId) {
        if (c == '"' || c == '\\') message += '\\';
        message += c;
    }
    return message + "\"";
}

}  // namespace

void prepareActivation(const LaunchToken& token) {
    // Qt's Wayland platform activates a window with the token it finds in the environment, once.
    if (onPlatform("wayland") && !token.activationToken.empty()) {
        qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(token.activationToken));
    }
}

void completeLaunch(QWidget& window, const LaunchToken& token) {
    const auto display = x11Display();
    const auto time = launchTime(token.startupId);
    if (display && time) activate(*display, window, *time);
    finishStartupNotification(window, token.startupId);
}

void finishStartupNotification(QWidget& window, const std::string& startupId) {
    const auto display = x11Display();
    if (startupId.empty() || !display) return;
    xcb_connection_t* connection = display->connection;
    const xcb_window_t root = display->root;
    const xcb_atom_t first = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t next = atom(connection, "_NET_STARTUP_INFO");
    // Sent to the root window in pieces of 20 bytes; the terminating zero ends the message.
    const std::string message = removeMessage(startupId) + '\0';
    for (size_t offset = 0; offset < message.size(); offset += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = static_cast<xcb_window_t>(window.winId());
        event.type = offset == 0 ? first : next;
        message.copy(reinterpret_cast<char*>(event.data.data8), 20, offset);
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(connection);
}

}  // namespace vornisel
