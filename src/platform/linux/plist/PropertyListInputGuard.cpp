#include "platform/linux/plist/PropertyListInputGuard.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace qby::platform::linuxhost {

namespace {

// A shared object of a binary list is copied by the parser at every reference: bound the copy.
constexpr uint64_t kMaxExpandedObjects = 1'000'000;

uint64_t bigEndian(const unsigned char* p, int width) {
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) value = (value << 8) | p[i];
    return value;
}

// Skips to the first occurrence of the terminator after from; the size when there is none.
qsizetype skipPast(const QByteArray& bytes, qsizetype from, const char* terminator) {
    const qsizetype at = bytes.indexOf(terminator, from);
    return at < 0 ? bytes.size() : at + static_cast<qsizetype>(qstrlen(terminator));
}

// The binary format's object table: offsets of objects and their references to others.
class BinaryObjects {
public:
    explicit BinaryObjects(const QByteArray& bytes)
        : data_(reinterpret_cast<const unsigned char*>(bytes.constData())), size_(bytes.size()) {}

    bool readTrailer() {
        if (size_ < 8 + 32) return false;
        const unsigned char* t = data_ + size_ - 32;
        offsetWidth_ = t[6];
        refWidth_ = t[7];
        count_ = bigEndian(t + 8, 8);
        top_ = bigEndian(t + 16, 8);
        tableOffset_ = bigEndian(t + 24, 8);
        const uint64_t end = static_cast<uint64_t>(size_) - 32;
        if (offsetWidth_ < 1 || offsetWidth_ > 8 || refWidth_ < 1 || refWidth_ > 8) return false;
        if (count_ == 0 || top_ >= count_ || tableOffset_ < 8 || tableOffset_ > end) return false;
        return count_ <= (end - tableOffset_) / offsetWidth_;
    }

    uint64_t count() const { return count_; }
    uint64_t top() const { return top_; }

    // The references held by object index (none for scalars) and whether it is a container;
    // false when the object or one of its references lies outside the tables.
    bool references(uint64_t index, std::vector<uint64_t>& refs, bool& container) const {
        refs.clear();
        container = false;
        const uint64_t offset =
            bigEndian(data_ + tableOffset_ + index * offsetWidth_, offsetWidth_);
        if (offset < 8 || offset >= tableOffset_) return false;
        const unsigned char marker = data_[offset];
        const int type = marker >> 4;
        const bool text = type == 0x5 || type == 0x6 || type == 0x7;
        container = type == 0xA || type == 0xC || type == 0xD;
        if (!text && !container) return true;
        uint64_t entries = marker & 0x0F;
        uint64_t at = offset + 1;
        if (entries == 0x0F) {
            if (at >= tableOffset_ || (data_[at] >> 4) != 0x1) return false;
            const int width = 1 << (data_[at] & 0x0F);
            if (width > 8 || at + 1 + width > tableOffset_) return false;
            entries = bigEndian(data_ + at + 1, width);
            at += 1 + width;
        }
        if (text) return textHasNoNul(type, entries, at);
        const uint64_t refCount = type == 0xD ? entries * 2 : entries;
        if (entries > tableOffset_ || refCount > (tableOffset_ - at) / refWidth_) return false;
        refs.reserve(refCount);
        for (uint64_t i = 0; i < refCount; ++i) {
            const uint64_t ref = bigEndian(data_ + at + i * refWidth_, refWidth_);
            if (ref >= count_) return false;
            refs.push_back(ref);
        }
        return true;
    }

private:
    // ASCII (5) and UTF-8 (7) texts count bytes, UTF-16 (6) texts count 16-bit units.
    bool textHasNoNul(int type, uint64_t length, uint64_t at) const {
        const uint64_t unit = type == 0x6 ? 2 : 1;
        if (length > (tableOffset_ - at) / unit) return false;
        for (uint64_t i = 0; i < length; ++i) {
            const unsigned char* c = data_ + at + i * unit;
            if (c[0] == 0 && (unit == 1 || c[1] == 0)) return false;
        }
        return true;
    }

    const unsigned char* data_;
    qsizetype size_;
    int offsetWidth_ = 0;
    int refWidth_ = 0;
    uint64_t count_ = 0;
    uint64_t top_ = 0;
    uint64_t tableOffset_ = 0;
};

}  // namespace

bool PropertyListInputGuard::isSafe(const QByteArray& bytes, int maxDepth) {
    if (bytes.startsWith("bplist")) return binaryIsSafe(bytes, maxDepth);
    return xmlIsSafe(bytes, maxDepth);
}

bool PropertyListInputGuard::xmlIsSafe(const QByteArray& bytes, int maxDepth) {
    // A NUL byte is never part of an XML document; libplist would keep it inside a text.
    if (bytes.contains('\0')) return false;
    // The <plist> element lies above the root object and a leaf element (<string>) below the
    // innermost container.
    const int limit = maxDepth + 2;
    int depth = 0;
    qsizetype i = bytes.indexOf('<');
    while (i >= 0 && i < bytes.size()) {
        const QByteArray rest = bytes.mid(i, 9);
        if (rest.startsWith("<!--")) {
            i = skipPast(bytes, i + 4, "-->");
        } else if (rest.startsWith("<![CDATA[")) {
            i = skipPast(bytes, i + 9, "]]>");
        } else if (rest.startsWith("<?")) {
            i = skipPast(bytes, i + 2, "?>");
        } else if (rest.startsWith("<!") || rest.startsWith("</")) {
            if (rest.startsWith("</")) --depth;
            i = skipPast(bytes, i + 2, ">");
        } else {
            const qsizetype close = bytes.indexOf('>', i + 1);
            if (close < 0) break;
            if (bytes[close - 1] != '/' && ++depth > limit) return false;
            i = close + 1;
        }
        i = bytes.indexOf('<', i);
    }
    return true;
}

bool PropertyListInputGuard::binaryIsSafe(const QByteArray& bytes, int maxDepth) {
    BinaryObjects objects(bytes);
    if (!objects.readTrailer()) return false;

    // Depth-first over the reference graph with an explicit stack. Each object is finished
    // once; its height (containers below and including it) and expanded size are remembered.
    enum : unsigned char { kNew, kOpen, kDone };
    const uint64_t count = objects.count();
    std::vector<unsigned char> state(count, kNew);
    std::vector<int> height(count, 0);
    std::vector<uint64_t> expanded(count, 1);

    struct Frame {
        uint64_t index;
        bool container;
        std::vector<uint64_t> refs;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    auto open = [&](uint64_t index) {
        Frame frame{index, false, {}, 0};
        if (!objects.references(index, frame.refs, frame.container)) return false;
        state[index] = kOpen;
        stack.push_back(std::move(frame));
        return true;
    };
    if (!open(objects.top())) return false;

    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.refs.size()) {
            const uint64_t child = frame.refs[frame.next++];
            if (state[child] == kOpen) return false;  // a cycle
            if (state[child] == kDone) continue;
            // Every frame below the new one is a container: the path is already too deep.
            if (stack.size() > static_cast<size_t>(maxDepth)) return false;
            if (!open(child)) return false;
            continue;
        }
        // Finished: fold the children into this object's height and expanded size.
        int childHeight = 0;
        uint64_t size = 1;
        for (uint64_t child : frame.refs) {
            childHeight = std::max(childHeight, height[child]);
            size += expanded[child];
            if (size > kMaxExpandedObjects) return false;
        }
        height[frame.index] = frame.container ? childHeight + 1 : 0;
        expanded[frame.index] = size;
        state[frame.index] = kDone;
        stack.pop_back();
    }
    return height[objects.top()] <= maxDepth;
}

}  // namespace qby::platform::linuxhost
