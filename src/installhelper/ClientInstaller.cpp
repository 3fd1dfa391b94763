#include "installhelper/ClientInstaller.h"

#include "installhelper/Descriptor.h"
#include "installhelper/DesktopEntry.h"
#include "installhelper/PlistStrings.h"
#include "installhelper/SecureTree.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qby::installhelper {
namespace {

constexpr const char* kApplications = "/Applications";
constexpr const char* kClientName = "Quillbay.app";
constexpr const char* kInstalledClient = "/Applications/Quillbay.app";
constexpr const char* kEntries = "/usr/local/share/applications";
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

InstallStatus fail(InstallStatus status, const std::string& what) {
    std::fprintf(stderr, "qby-install-helper: %s\n", what.c_str());
    return status;
}

std::string because(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// A folder of root's own that no one else may write into, made (0755) when missing.
int openRootFolder(const char* path) {
    if (mkdir(path, 0755) == 0) {
        if (chown(path, 0, 0) != 0 || chmod(path, 0755) != 0) return -1;
    } else if (errno != EEXIST) {
        return -1;
    }
    const int folder = open(path, kFolderFlags);
    struct stat status {};
    if (folder >= 0 && fstat(folder, &status) == 0 && status.st_uid == 0 &&
        (status.st_mode & (S_IWGRP | S_IWOTH)) == 0)
        return folder;
    if (folder >= 0) close(folder);
    errno = EPERM;
    return -1;
}

// The Info.plist's text, read without following a link.
std::optional<std::string> infoPlistText(int bundle) {
    const Descriptor contents(openat(bundle, "Contents", kFolderFlags));
    if (!contents.valid()) return std::nullopt;
    const Descriptor file(
        openat(contents.get(), "Info.plist", O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!file.valid() || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_size > off_t(kMaxPlistBytes))
        return std::nullopt;
    std::string text(status.st_size, '\0');
    std::size_t filled = 0;
    while (filled < text.size()) {
        const ssize_t got = read(file.get(), text.data() + filled, text.size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return std::nullopt;
        filled += got;
    }
    return text;
}

// The entry written beside its final name, then renamed over it.
bool writeDesktopEntry(const std::string& text, const std::string& suffix) {
    // Its parents stand on every system that follows the file system hierarchy; made otherwise.
    mkdir("/usr/local", 0755);
    mkdir("/usr/local/share", 0755);
    const Descriptor folder(openRootFolder(kEntries));
    if (!folder.valid()) return false;
    const std::string name(kDesktopEntryFileName);
    const std::string temporary = "." + name + suffix;
    unlinkat(folder.get(), temporary.c_str(), 0);
    const Descriptor file(openat(folder.get(), temporary.c_str(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    bool written = file.valid() && fchmod(file.get(), 0644) == 0 &&
                   write(file.get(), text.data(), text.size()) == ssize_t(text.size()) &&
                   fsync(file.get()) == 0;
    written = written && renameat(folder.get(), temporary.c_str(), folder.get(), name.c_str()) == 0;
    if (!written) {
        const int error = errno;
        unlinkat(folder.get(), temporary.c_str(), 0);
        errno = error;
    }
    return written;
}

}  // namespace

InstallStatus installClient(const char* source, uid_t caller) {
    // The source: the caller's own folder, not a link to one.
    const Descriptor bundle(open(source, kFolderFlags));
    if (!bundle.valid()) return fail(kSourceRefused, because(std::string("source ") + source));
    struct stat status {};
    if (fstat(bundle.get(), &status) != 0 || status.st_uid != caller)
        return fail(kSourceRefused, std::string("source ") + source + " is not the caller's");

    const std::optional<std::string> plist = infoPlistText(bundle.get());
    const std::optional<DesktopEntryFields> fields =
        plist ? desktopEntryFieldsOfBundle(*plist, kInstalledClient) : std::nullopt;
    if (!fields) return fail(kBundleUnreadable, "the bundle's Info.plist cannot be read");

    if (geteuid() != 0) return fail(kNoCaller, "not running as root");
    const Descriptor applications(openRootFolder(kApplications));
    if (!applications.valid())
        return fail(kApplicationsUnusable, because(std::string(kApplications)));

    const int apps = applications.get();
    const std::string suffix = ".new-" + std::to_string(getpid());
    const std::string fresh = std::string(".") + kClientName + suffix;
    const std::string old = std::string(".") + kClientName + ".old-" + std::to_string(getpid());
    removeTree(apps, fresh.c_str());

    const CopyOutcome copied = copyTree(bundle.get(), apps, fresh.c_str(), caller);
    if (copied != CopyOutcome::kCopied) {
        const std::string why = because("copy of " + std::string(source));
        removeTree(apps, fresh.c_str());
        if (copied == CopyOutcome::kRefused)
            return fail(kSourceRefused, std::string("source ") + source +
                                            " holds an item of another owner or kind");
        return fail(kCopyFailed, why);
    }

    struct stat existing {};
    const bool hadOld = fstatat(apps, kClientName, &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (hadOld && renameat(apps, kClientName, apps, old.c_str()) != 0) {
        const std::string why = because("setting the old client aside");
        removeTree(apps, fresh.c_str());
        return fail(kSetAsideFailed, why);
    }
    // Puts the old client back after a failure; the new one goes.
    const auto restore = [&](InstallStatus status, const std::string& why) {
        fail(status, why);
        if (hadOld && renameat(apps, old.c_str(), apps, kClientName) != 0)
            return fail(kRestoreFailed, because("putting the old client back (left at " +
                                                std::string(kApplications) + "/" + old + ")"));
        removeTree(apps, fresh.c_str());
        return status;
    };

    if (renameat(apps, fresh.c_str(), apps, kClientName) != 0)
        return restore(kRenameFailed, because("renaming the new client in"));
    // The client and its entry are one install: without the entry the new client goes again.
    if (!writeDesktopEntry(desktopEntryText(*fields), suffix)) {
        const std::string why = because("writing the desktop entry in " + std::string(kEntries));
        if (renameat(apps, kClientName, apps, fresh.c_str()) != 0)
            return fail(kRestoreFailed, because("taking the new client out again"));
        return restore(kDesktopEntryFailed, why);
    }
    if (hadOld && !removeTree(apps, old.c_str()))
        fail(kInstalled, because("removing the old client (left at " + old + ")"));
    return kInstalled;
}

}  // namespace qby::installhelper
