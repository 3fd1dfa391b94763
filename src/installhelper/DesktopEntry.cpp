#include "installhelper/DesktopEntry.h"

#include "installhelper/PlistStrings.h"

namespace qby::installhelper {
namespace {

bool hasControlCharacter(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return true;
    }
    return false;
}

// A single file name inside the bundle: no folder, no way out of it.
bool isPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && !hasControlCharacter(name);
}

// A value of type string or localestring: backslashes doubled, a leading blank kept as \s.
std::string escapedValue(std::string_view value) {
    std::string escaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            escaped += "\\\\";
        } else if (i == 0 && value[i] == ' ') {
            escaped += "\\s";
        } else {
            escaped += value[i];
        }
    }
    return escaped;
}

// The program of an Exec key: quoted whole, so that blanks and the characters a shell would
// read stay part of the path; "%" doubled, as field codes start with it.
std::string execArgument(std::string_view path) {
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
        if (c == '%') quoted += '%';
    }
    return escapedValue(quoted + "\"");
}

}  // namespace

std::optional<DesktopEntryFields> desktopEntryFieldsOfBundle(std::string_view infoPlistXml,
                                                             std::string_view bundlePath) {
    if (bundlePath.empty() || bundlePath.front() != '/' || hasControlCharacter(bundlePath))
        return std::nullopt;
    const std::optional<std::map<std::string, std::string>> strings =
        topLevelPlistStrings(infoPlistXml);
    if (!strings) return std::nullopt;
    const auto value = [&strings](const char* key) {
        const auto found = strings->find(key);
        return found == strings->end() ? std::optional<std::string>() : found->second;
    };

    const std::string bundle(bundlePath);
    DesktopEntryFields fields;
    const std::optional<std::string> executable = value("CFBundleExecutable");
    if (!executable || !isPlainFileName(*executable)) return std::nullopt;
    fields.executable = bundle + "/Contents/MacOS/" + *executable;

    if (const std::optional<std::string> icon = value("CFBundleIconFile")) {
        if (!isPlainFileName(*icon)) return std::nullopt;
        fields.icon = bundle + "/Contents/Resources/" + *icon;
    }

    fields.name = value("CFBundleName").value_or("");
    if (hasControlCharacter(fields.name)) return std::nullopt;
    if (fields.name.empty()) {
        std::string folder = bundle.substr(bundle.find_last_of('/') + 1);
        if (folder.ends_with(".app")) folder.resize(folder.size() - 4);
        fields.name = folder;
    }
    if (fields.name.empty()) return std::nullopt;
    return fields;
}

std::string desktopEntryText(const DesktopEntryFields& fields) {
    std::string text = "[Desktop Entry]\nType=Application\nVersion=1.4\n";
    text += "Name=" + escapedValue(fields.name) + "\n";
    text += "Exec=" + execArgument(fields.executable) + "\n";
    text += "TryExec=" + escapedValue(fields.executable) + "\n";
    if (!fields.icon.empty()) text += "Icon=" + escapedValue(fields.icon) + "\n";
    text += "StartupWMClass=" + std::string(kClientWindowClass) + "\n";
    text += "Categories=Game;\n";
    return text;
}

}  // namespace qby::installhelper
