#pragma once

#include <sys/types.h>

// Copying and removing folder trees as root, by file descriptors alone: every step opens the
// next name relative to a folder already open and never follows a link, so that the user who
// owns the source cannot, by swapping names while it runs, make it read or write anywhere else.
namespace qby::installhelper {

enum class CopyOutcome {
    kCopied,
    kRefused,  // an item not owned by the source's owner, or neither file, folder nor link
    kFailed,   // reading or writing failed (errno tells why)
};

// Copies the folder open as sourceFolder into a new folder destinationName inside
// destinationParent. The copy is root's: links copied as links, holes and hard links within the
// tree kept, modes without set-id bits and without write access for group and others. Every
// item of the source must belong to owner. On failure the partial copy is left for removeTree.
CopyOutcome copyTree(int sourceFolder, int destinationParent, const char* destinationName,
                     uid_t owner);

// Removes name inside parent and everything below it; links are removed, never followed. True
// when nothing is left at name.
bool removeTree(int parent, const char* name);

}  // namespace qby::installhelper
