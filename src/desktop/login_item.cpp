#include "desktop/login_item.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <utility>

#include "base/app_bundle.h"
#include "model/atomic_file.h"

namespace vornisel {

namespace {

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A desktop entry value of type string: backslashes and control characters are escaped.
std::string entryValue(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// One quoted Exec argument. Quoting always is simpler than deciding whether the path holds a
// reserved character; inside quotes four characters need a backslash, and '%' would otherwise
// start a field code.
std::string execArgument(const std::string& path) {
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return entryValue(quoted + "\"");
}

std::filesystem::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    throw std::system_error(ENOENT, std::generic_category(), "no home folder for this user");
}

}  // namespace

LoginItem::LoginItem(std::filesystem::path home, std::filesystem::path bundle,
                     std::filesystem::path configHome)
    : home_(std::move(home)), bundle_(std::move(bundle)), configHome_(std::move(configHome)) {}

LoginItem LoginItem::forCurrentUser() {
    std::filesystem::path home = homeFolder();
    std::filesystem::path config = home / ".config";
    // The basedir rules ignore a relative XDG_CONFIG_HOME.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') config = xdg;
    return LoginItem(home, AppBundle::location(), config);
}

std::filesystem::path LoginItem::plistPath() const {
    return home_ / "Library" / "LaunchAgents" / (std::string(label) + ".plist");
}

std::filesystem::path LoginItem::autostartPath() const {
    return configHome_ / "autostart" / (std::string(label) + ".desktop");
}

std::string LoginItem::plistText() const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n"
           "<dict>\n"
           "\t<key>Label</key>\n"
           "\t<string>" +
           xmlEscaped(label) +
           "</string>\n"
           "\t<key>ProgramArguments</key>\n"
           "\t<array>\n"
           "\t\t<string>/usr/bin/open</string>\n"
           "\t\t<string>-a</string>\n"
           "\t\t<string>" +
           xmlEscaped(bundle_.string()) +
           "</string>\n"
           "\t</array>\n"
           "\t<key>RunAtLoad</key>\n"
           "\t<true/>\n"
           "</dict>\n"
           "</plist>\n";
}

std::string LoginItem::desktopEntryText() const {
    const std::filesystem::path contents = bundle_ / "Contents";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.0\n"
           "Name=Vornisel Control\n"
           "Exec=" +
           execArgument(AppBundle::installedLauncher(bundle_)
                            .value_or(contents / "MacOS" / "vornisel-control")
                            .string()) +
           "\n"
           "Icon=" +
           entryValue(AppBundle::installedIconName(bundle_).value_or(
               (contents / "Resources" / "vornisel.png").string())) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

void LoginItem::configure(bool enabled) const {
    if (enabled) {
        enable();
    } else {
        disable();
    }
}

void LoginItem::enable() const {
    std::filesystem::create_directories(plistPath().parent_path());
    writeFileAtomically(plistPath(), plistText());
    try {
        std::filesystem::create_directories(autostartPath().parent_path());
        writeFileAtomically(autostartPath(), desktopEntryText());
    } catch (...) {
        // Half a registration would start the panel at login although the setting says off.
        std::error_code ignored;
        std::filesystem::remove(plistPath(), ignored);
        throw;
    }
}

void LoginItem::disable() const {
    const bool hadPlist = std::filesystem::remove(plistPath());
    try {
        std::filesystem::remove(autostartPath());
    } catch (...) {
        // The setting stays on, so the registration must stay whole: the list comes back.
        if (hadPlist) {
            try {
                writeFileAtomically(plistPath(), plistText());
            } catch (...) {
            }
        }
        throw;
    }
}

}  // namespace vornisel
