#include "storeclient/ApplicationAdaptor.h"
#include "storeclient/RequestWindow.h"

#include <QListWidget>
#include <gtest/gtest.h>

namespace qby::storeclient {
namespace {

QStringList shownTexts(const RequestWindow& window) {
    const auto* list = window.findChild<QListWidget*>();
    QStringList texts;
    for (int row = 0; list && row < list->count(); ++row) texts.append(list->item(row)->text());
    return texts;
}

// A client that runs for days keeps a bounded window: only the latest requests stay in view.
TEST(RequestWindowTest, ShowsTheLatestRequestsAsKeyValueLines) {
    RequestWindow window;
    EXPECT_EQ(window.windowTitle(), "Quillbay");
    QStringList latest{"Product = Ice Road\nToken = T-1", "(empty request)"};
    window.addRequest("download.Old.plist", {{"n", "old"}});
    window.addRequest("download.A.plist", {{"Product", "Ice Road"}, {"Token", "T-1"}});
    window.addRequest("download.B.plist", {});
    for (int n = 3; n <= RequestWindow::kShownRequests; ++n) {
        window.addRequest(QString("download.%1.plist").arg(n), {{"n", QString::number(n)}});
        latest << QString("n = %1").arg(n);
    }
    EXPECT_EQ(shownTexts(window), latest);
}

// The downloader activates the client over the bus to put it before the user.
TEST(RequestWindowTest, ActivationShowsTheWindowEvenWhenMinimized) {
    RequestWindow window;
    auto* adaptor = new ApplicationAdaptor(&window);  // owned by the window
    adaptor->Activate({});
    EXPECT_TRUE(window.isVisible());
    window.showMinimized();
    adaptor->Activate({});
    EXPECT_FALSE(window.isMinimized());
}

}  // namespace
}  // namespace qby::storeclient
