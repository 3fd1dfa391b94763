#include "installhelper/PlistStrings.h"

namespace qby::installhelper {
namespace {

constexpr int kMaxDepth = 8;

// A cursor over the text; every reader answers false on anything it does not expect.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool atEnd() const { return at_ >= text_.size(); }

    // Blanks, comments, the XML declaration and the document type.
    bool skipMisc() {
        while (!atEnd()) {
            if (isBlank(text_[at_])) {
                ++at_;
            } else if (startsWith("<!--")) {
                if (!skipPast("-->")) return false;
            } else if (startsWith("<?") || startsWith("<!DOCTYPE")) {
                if (!skipPast(">")) return false;
            } else {
                break;
            }
        }
        return true;
    }

    // The next tag: its name, whether it closes ("</x>") and whether it is empty ("<x/>").
    struct Tag {
        std::string_view name;
        bool closing = false;
        bool empty = false;
    };
    std::optional<Tag> tag() {
        if (!skipMisc() || !startsWith("<")) return std::nullopt;
        const std::size_t end = text_.find('>', at_);
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view inside = text_.substr(at_ + 1, end - at_ - 1);
        at_ = end + 1;
        Tag result;
        if (!inside.empty() && inside.front() == '/') {
            result.closing = true;
            inside.remove_prefix(1);
        }
        if (!inside.empty() && inside.back() == '/') {
            result.empty = true;
            inside.remove_suffix(1);
        }
        // Attributes (the plist's version) are passed over.
        result.name = inside.substr(0, inside.find_first_of(" \t\r\n"));
        if (result.name.empty() || (result.closing && result.empty)) return std::nullopt;
        return result;
    }

    // Character data up to the next "<", its five entities decoded.
    std::optional<std::string> text() {
        const std::size_t end = text_.find('<', at_);
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view raw = text_.substr(at_, end - at_);
        at_ = end;
        std::string decoded;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '&') {
                decoded += raw[i];
                continue;
            }
            static constexpr std::pair<std::string_view, char> kEntities[] = {
                {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
            bool known = false;
            for (const auto& [entity, character] : kEntities) {
                if (raw.substr(i, entity.size()) == entity) {
                    decoded += character;
                    i += entity.size() - 1;
                    known = true;
                    break;
                }
            }
            if (!known) return std::nullopt;
        }
        return decoded;
    }

private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    bool startsWith(std::string_view prefix) const {
        return text_.substr(at_, prefix.size()) == prefix;
    }
    bool skipPast(std::string_view marker) {
        const std::size_t end = text_.find(marker, at_);
        if (end == std::string_view::npos) return false;
        at_ = end + marker.size();
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

// The rest of an element whose opening tag was read: its text, or nested elements.
bool skipElement(Scanner& scanner, const Scanner::Tag& opening, int depth) {
    if (opening.empty) return true;
    if (depth > kMaxDepth) return false;
    const bool container = opening.name == "array" || opening.name == "dict";
    if (!container && !scanner.text()) return false;
    while (true) {
        const std::optional<Scanner::Tag> next = scanner.tag();
        if (!next) return false;
        if (next->closing) return next->name == opening.name;
        if (!container || !skipElement(scanner, *next, depth + 1)) return false;
    }
}

std::optional<std::string> textElement(Scanner& scanner, std::string_view name) {
    std::optional<std::string> value = scanner.text();
    const std::optional<Scanner::Tag> closing = scanner.tag();
    if (!value || !closing || !closing->closing || closing->name != name) return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::map<std::string, std::string>> topLevelPlistStrings(std::string_view xml) {
    if (xml.size() > kMaxPlistBytes) return std::nullopt;
    Scanner scanner(xml);
    const std::optional<Scanner::Tag> plist = scanner.tag();
    if (!plist || plist->closing || plist->empty || plist->name != "plist") return std::nullopt;
    const std::optional<Scanner::Tag> dict = scanner.tag();
    if (!dict || dict->closing || dict->name != "dict") return std::nullopt;

    std::map<std::string, std::string> strings;
    std::map<std::string, bool> seen;
    if (!dict->empty) {
        while (true) {
            const std::optional<Scanner::Tag> next = scanner.tag();
            if (!next) return std::nullopt;
            if (next->closing && next->name == "dict") break;
            if (next->closing || next->empty || next->name != "key") return std::nullopt;
            std::optional<std::string> key = textElement(scanner, "key");
            // A key given twice could be read either way: refused.
            if (!key || seen[*key]) return std::nullopt;
            seen[*key] = true;
            const std::optional<Scanner::Tag> value = scanner.tag();
            if (!value || value->closing) return std::nullopt;
            if (value->name == "string") {
                std::optional<std::string> text =
                    value->empty ? std::optional<std::string>("") : textElement(scanner, "string");
                if (!text) return std::nullopt;
                strings[*key] = std::move(*text);
            } else if (!skipElement(scanner, *value, 1)) {
                return std::nullopt;
            }
        }
    }
    const std::optional<Scanner::Tag> end = scanner.tag();
    if (!end || !end->closing || end->name != "plist" || !scanner.skipMisc() || !scanner.atEnd())
        return std::nullopt;
    return strings;
}

}  // namespace qby::installhelper
