#include "downloader/InstallHelperFailure.h"

#include "installhelper/InstallStatus.h"

namespace qby::downloader {

QString installHelperFailure(int status) {
    using namespace installhelper;
    QString what;
    switch (status) {
        case kBadArguments:
            what = "the install helper refused its arguments";
            break;
        case kNoCaller:
            what = "the install helper was not run by pkexec as root";
            break;
        case kSourceRefused:
            what =
                "the install helper refused the unpacked client (a link, another owner's, or "
                "holding an item of another owner or kind)";
            break;
        case kBundleUnreadable:
            what = "the unpacked client's Info.plist names no executable";
            break;
        case kApplicationsUnusable:
            what = "/Applications could not be made, or is not root's alone";
            break;
        case kCopyFailed:
            what = "the client could not be copied into /Applications";
            break;
        case kSetAsideFailed:
            what = "the old client could not be set aside";
            break;
        case kRenameFailed:
            what = "the new client could not be put in place; the old one is back";
            break;
        case kDesktopEntryFailed:
            what = "the desktop entry could not be written; the old client is back";
            break;
        case kRestoreFailed:
            what = "a step failed and the old client could not be put back";
            break;
        default:
            what = "the install helper failed";
            break;
    }
    return QStringLiteral("%1 (status %2)").arg(what).arg(status);
}

}  // namespace qby::downloader
