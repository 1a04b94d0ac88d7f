#include "desktop/login_item.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <utility>

#include "base/app_bundle.h"
#include "base/text_hash.h"
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

// A file-name part that stands for a data directory: its last name, cut to letters, digits, '-'
// and '_', then a hash of the whole path, so two folders of the same name differ.
std::string directoryTag(const std::filesystem::path& directory) {
    const std::filesystem::path whole = std::filesystem::weakly_canonical(directory);
    std::string tag;
    for (char c : whole.filename().string()) {
        if (tag.size() == 32) break;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        tag += plain ? c : '_';
    }
    return tag + "-" + hashText(whole.string()).substr(0, 12);
}

std::filesystem::path homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    throw std::system_error(ENOENT, std::generic_category(), "no home folder for this user");
}

}  // namespace

LoginItem::LoginItem(std::filesystem::path home, std::filesystem::path bundle,
                     std::filesystem::path configHome,
                     std::optional<std::filesystem::path> dataDirectory)
    : home_(std::move(home)),
      bundle_(std::move(bundle)),
      configHome_(std::move(configHome)),
      dataDirectory_(std::move(dataDirectory)) {}

LoginItem LoginItem::forCurrentUser(std::optional<std::filesystem::path> dataDirectory) {
    std::filesystem::path home = homeFolder();
    std::filesystem::path config = home / ".config";
    // The basedir rules ignore a relative XDG_CONFIG_HOME.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') config = xdg;
    return LoginItem(home, AppBundle::location(), config, std::move(dataDirectory));
}

std::filesystem::path LoginItem::plistPath() const {
    return home_ / "Library" / "LaunchAgents" / (std::string(label) + ".plist");
}

std::filesystem::path LoginItem::autostartPath() const {
    const std::string name =
        dataDirectory_ ? std::string(label) + "." + directoryTag(*dataDirectory_) : label;
    return configHome_ / "autostart" / (name + ".desktop");
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
    const std::string program = AppBundle::installedLauncher(bundle_)
                                    .value_or(contents / "MacOS" / "vornisel-control")
                                    .string();
    std::string name = "Vornisel Control";
    std::string exec = execArgument(program);
    if (dataDirectory_) {
        name += " (" + dataDirectory_->filename().string() + ")";
        exec += " --data-dir " + execArgument(std::filesystem::absolute(*dataDirectory_).string());
    }
    // TryExec: once the package is removed, the session skips the entry instead of failing it.
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.0\n"
           "Name=" +
           entryValue(name) +
           "\n"
           "TryExec=" +
           entryValue(program) +
           "\n"
           "Exec=" +
           exec + " " + autostartOption +
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
    if (!ownsPropertyList()) {
        std::filesystem::create_directories(autostartPath().parent_path());
        writeFileAtomically(autostartPath(), desktopEntryText());
        return;
    }
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
    const bool hadPlist = ownsPropertyList() && std::filesystem::remove(plistPath());
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
