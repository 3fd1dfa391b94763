// The reference store client: takes the downloader's requests out of the drop folder.
#include "storeclient/ApplicationAdaptor.h"
#include "storeclient/RequestWindow.h"
#include "storeclient/StoreClient.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QIcon>

using namespace qby::storeclient;

namespace {

constexpr auto kServiceName = "com.quillbay.Client2";
constexpr auto kObjectPath = "/com/quillbay/Client2";
constexpr auto kNotificationPath = "/com/quillbay/DistributedNotification";
constexpr auto kNotificationInterface = "com.quillbay.DistributedNotification";

// True when this process now owns the client's name; false when another instance does.
bool ownServiceName(QDBusConnection& bus) {
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(QLatin1String(kServiceName),
                                         QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    return reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillbay"));
    // The desktop ties our windows to the entry the install wrote, and shows the bundle's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quillbay.Client2"));
    QApplication::setWindowIcon(
        QIcon(QApplication::applicationDirPath() + QStringLiteral("/../Resources/Quillbay.png")));

    StoreClient client{DropFolder(), RequestRecorder()};
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // Nobody can notify or activate us: take what is waiting and stop.
        client.scan();
        return 0;
    }

    RequestWindow window;
    QObject::connect(&client, &StoreClient::requestReceived, &window, &RequestWindow::addRequest);
    new ApplicationAdaptor(&window);

    // Object and subscription first, the name last: once the downloader can see us by name,
    // Activate answers and no notification posted from then on is missed.
    bus.registerObject(QLatin1String(kObjectPath), &window, QDBusConnection::ExportAdaptors);
    bus.connect(QString(), QLatin1String(kNotificationPath), QLatin1String(kNotificationInterface),
                QStringLiteral("Posted"), &client, SLOT(notificationPosted(QString)));
    if (!ownServiceName(bus)) {
        return 0;  // One client per user: the running one takes the requests.
    }

    window.show();
    // The downloader launches a freshly installed client without notifying it.
    client.scan();
    return QApplication::exec();
}
