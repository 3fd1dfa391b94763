#pragma once

// The install helper's answers: its exit status, read by the downloader after pkexec. Plain C++
// (no Qt), shared by the helper and the downloader's logic. pkexec keeps 126 and 127 for itself
// (consent dismissed, not authorized or no agent), so no value here is either of them.
namespace qby::installhelper {

enum InstallStatus : int {
    kInstalled = 0,              // the client and its desktop entry are in place
    kBadArguments = 10,          // not exactly one absolute source folder: nothing was touched
    kNoCaller = 11,              // not run by pkexec as root for a known user: nothing touched
    kSourceRefused = 12,         // the source is a link, not a folder, or not the caller's own,
                                 // or holds an item that is neither (nothing was installed)
    kBundleUnreadable = 13,      // its Info.plist names no usable executable: nothing touched
    kApplicationsUnusable = 14,  // /Applications cannot be made, or is a link or not root's own
    kCopyFailed = 15,            // the copy beside the destination failed; the old client stays
    kSetAsideFailed = 16,        // the old client could not be moved aside; it stays
    kRenameFailed = 17,          // the new client could not be renamed in; the old one is back
    kDesktopEntryFailed = 18,    // the desktop entry could not be written; the old client is back
    kRestoreFailed = 19,         // a step failed and the old client could not be put back
};

}  // namespace qby::installhelper
