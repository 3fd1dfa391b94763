#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qby::installhelper {

// The largest Info.plist read: a bundle description is a few kilobytes.
inline constexpr std::size_t kMaxPlistBytes = 64 * 1024;

// The text values of the top-level dictionary of an XML property list, by key; other values
// (numbers, booleans, arrays, dictionaries) are passed over. Nothing when the text is larger
// than kMaxPlistBytes, nests deeper than a few levels, uses an entity other than the five of
// XML, or is not such a property list.
std::optional<std::map<std::string, std::string>> topLevelPlistStrings(std::string_view xml);

}  // namespace qby::installhelper
