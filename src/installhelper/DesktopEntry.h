#pragma once

#include <optional>
#include <string>
#include <string_view>

// The desktop entry that makes an installed client findable in the desktop's menus. Plain C++
// (no Qt): the privileged install helper writes it for the system, the downloader for one user.
namespace qby::installhelper {

// The entry's file name: the client's bundle identifier.
inline constexpr std::string_view kDesktopEntryFileName = "com.quillbay.Client2.desktop";
// The X11 window class of the client's windows, so the desktop ties them to the entry.
inline constexpr std::string_view kClientWindowClass = "Quillbay";

// What the entry says about one installed bundle; paths are absolute.
struct DesktopEntryFields {
    std::string name;
    std::string executable;
    std::string icon;  // empty: the bundle has no icon
};

// The fields of the bundle installed at bundlePath, from its Info.plist's text: Name from
// CFBundleName (else the bundle's folder name without ".app"), the executable named by
// CFBundleExecutable in Contents/MacOS, the icon named by CFBundleIconFile in
// Contents/Resources. Nothing when the property list cannot be read safely or names no plain
// executable file name.
std::optional<DesktopEntryFields> desktopEntryFieldsOfBundle(std::string_view infoPlistXml,
                                                             std::string_view bundlePath);

// The whole text of the entry, valid for desktop-file-validate.
std::string desktopEntryText(const DesktopEntryFields& fields);

}  // namespace qby::installhelper
