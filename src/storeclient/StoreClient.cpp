#include "storeclient/StoreClient.h"

namespace qby::storeclient {

StoreClient::StoreClient(DropFolder folder, RequestRecorder recorder, QObject* parent)
    : QObject(parent), folder_(std::move(folder)), recorder_(std::move(recorder)) {}

int StoreClient::scan() {
    int taken = 0;
    for (const QString& name : folder_.notificationNames()) {
        if (unremovable_.contains(name)) {
            continue;
        }
        const FileContents contents = folder_.read(name);
        if (!contents.ok) {
            recorder_.recordFailure(name, contents.error);
            continue;
        }
        const ParsedNotification parsed = NotificationParser::parse(contents.bytes);
        if (!parsed.ok) {
            recorder_.recordFailure(name, parsed.error);
            continue;
        }
        // The file goes only once the request is safely recorded: nothing is lost on failure.
        if (!recorder_.recordRequest(name, parsed.request)) {
            continue;
        }
        if (!folder_.remove(name)) {
            // Recorded but still there (a read-only folder): never record it a second time.
            unremovable_.insert(name);
        }
        ++taken;
        emit requestReceived(name, parsed.request);
    }
    return taken;
}

void StoreClient::notificationPosted(const QString& name) {
    if (name == QLatin1String(kHelperNotification)) {
        scan();
    }
}

}  // namespace qby::storeclient
