// The downloader's entry point: wires the Linux services into the launch logic and hands control
// to the event loop. Everything the downloader decides lives in QBY_DownloaderAppDelegate.

#include "app/BuildReleaseTrust.h"
#include "app/QBY_DownloaderAppDelegate.h"
#include "client/HandOffFlag.h"
#include "client/QBYClientProxy.h"
#include "downloader/DownloaderServices.h"
#include "foundation/BundleLayout.h"
#include "foundation/SystemInfo.h"
#include "platform/linux/archive/LinuxArchiveTools.h"
#include "platform/linux/archive/OpenSslArchiveVerifier.h"
#include "platform/linux/desktop/LinuxMetadataSearch.h"
#include "platform/linux/desktop/LinuxNotificationCenter.h"
#include "platform/linux/desktop/LinuxUserApplications.h"
#include "platform/linux/desktop/LinuxWorkspace.h"
#include "platform/linux/files/LinuxFileManager.h"
#include "platform/linux/net/LinuxUrlDownloader.h"
#include "platform/linux/net/LinuxUrlLoader.h"
#include "platform/linux/plist/LibPlistPropertyLists.h"
#include "platform/linux/system/EventDispatcherChoice.h"
#include "platform/linux/system/LinuxBundle.h"
#include "platform/linux/system/LinuxClock.h"
#include "platform/linux/system/LinuxDispatch.h"
#include "platform/linux/system/LinuxLogs.h"
#include "platform/linux/system/LinuxPauses.h"
#include "platform/linux/system/LinuxProcessInfo.h"
#include "platform/linux/system/LinuxSystemProbe.h"
#include "platform/linux/ui/DisplayPlatform.h"
#include "platform/linux/ui/LinuxApplication.h"
#include "platform/linux/ui/LinuxInterfaceLoader.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <vector>

using namespace qby;
using namespace qby::app;
using namespace qby::platform::linuxhost;

int main(int argc, char* argv[]) {
    // Qt would abort, with a core dump and advice to reinstall, where no display answers: the
    // downloader says so in one line instead, and otherwise names the plugin for the display
    // that does (Wayland's own where a compositor answers, so that XWayland is not needed).
    const DisplayPlatform::Choice display =
        DisplayPlatform::choose(QProcessEnvironment::systemEnvironment());
    if (display == DisplayPlatform::Choice::None) {
        std::fprintf(stderr, "%s\n", DisplayPlatform::noDisplayMessage());
        return 1;
    }
    QByteArray platformOption = "-platform";
    QByteArray plugin = DisplayPlatform::pluginName(display);
    std::vector<char*> arguments(argv, argv + argc);
    if (!plugin.isEmpty())
        arguments.insert(arguments.begin() + 1, {platformOption.data(), plugin.data()});
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    EventDispatcherChoice::preferQtDispatcher();
    QApplication app(count, arguments.data());
    QApplication::setApplicationName(QStringLiteral("Quillbay Downloader"));
    QApplication::setOrganizationDomain(QStringLiteral("quillbay.com"));
    // The downloader ends only through terminate(): closing an alert is no reason to quit.
    QApplication::setQuitOnLastWindowClosed(false);

    LinuxBundle bundle;
    // Every window of the downloader, alerts included, shows the store's icon.
    QApplication::setWindowIcon(
        QIcon(foundation::BundleLayout::resources(bundle.bundlePath()) + "/Quillbay.png"));
    if (bundle.translator() != nullptr) QCoreApplication::installTranslator(bundle.translator());

    LinuxApplication application;
    LinuxFileManager fileManager;
    LinuxWorkspace workspace;
    LinuxMetadataSearch metadataSearch;
    LinuxNotificationCenter notificationCenter;
    LibPlistPropertyLists propertyLists;
    LinuxProcessInfo processInfo;
    LinuxLogs logs;
    LinuxPauses pauses;
    LinuxInterfaceLoader interfaceLoader;
    LinuxSystemProbe systemProbe;
    LinuxUrlLoader urlLoader;
    LinuxDispatch dispatch;
    LinuxUrlDownloader urlDownloader;
    LinuxArchiveTools archiveTools;
    LinuxClock clock;
    OpenSslArchiveVerifier archiveVerifier;
    LinuxUserApplications userApplications;

    foundation::SystemInfo systemInfo(systemProbe);
    foundation::SystemInfo::setShared(&systemInfo);

    const platform::PlatformServices services{
        application,   bundle,      fileManager, workspace, metadataSearch, notificationCenter,
        propertyLists, processInfo, logs,        pauses,    interfaceLoader};
    client::QBYClientProxy proxy({workspace, metadataSearch, notificationCenter, application,
                                  bundle, pauses, systemInfo, logs});
    client::QBYClientProxy::setSharedProxy(&proxy);

    client::HandOffFlag handOff;
    // Said once, so that nobody hands out such a build unawares.
    if (app::kBuildTrustsTestKey) {
        logs.consoleLog(QStringLiteral(
            "This build trusts the local store's test key, whose private half is public: any "
            "archive signed with it is accepted."));
    }
    const downloader::ReleaseTrust trust = downloader::ReleaseTrust::fromBase64(
        app::kBuildReleasePublicKeys, app::kBuildRequiresReleaseSignature);
    const downloader::InstallServices install{urlLoader,    dispatch,        urlDownloader,
                                              archiveTools, clock,           archiveVerifier,
                                              trust,        userApplications};
    QBY_DownloaderAppDelegate delegate(services, proxy, systemInfo, handOff, install);
    application.setTerminationHandler([&delegate] { delegate.applicationWillTerminate(); });

    // Launching has finished once the event loop runs.
    QTimer::singleShot(0, &app, [&delegate] { delegate.applicationDidFinishLaunching(); });
    return app.exec();
}
