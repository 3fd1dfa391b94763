#include "platform/linux/ui/LinuxDownloadWindow.h"
#include "platform/linux/ui/LinuxInterfaceLoader.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <gtest/gtest.h>
#include <limits>

namespace qby::platform::linuxhost {
namespace {

// The shipped window, loaded afresh for each test.
class DownloadWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(window, nullptr); }
    void TearDown() override {
        if (window) window->widget()->hide();
    }

    LinuxInterfaceLoader loader;
    LinuxDownloadWindow* window = static_cast<LinuxDownloadWindow*>(
        loader.loadDownloadWindow(QStringLiteral("ClientDownloader")));
};

// Screen readers announce a window (not a bare panel) and name every control.
TEST_F(DownloadWindowTest, IsAnnouncedAsAWindowWithNamedControls) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window->widget());
    ASSERT_NE(accessible, nullptr);
    EXPECT_TRUE(accessible->role() == QAccessible::Dialog ||
                accessible->role() == QAccessible::Window)
        << accessible->role();
    EXPECT_EQ(window->progressBar()->accessibleName(), QStringLiteral("Download progress"));
    EXPECT_EQ(window->cancelButton()->accessibleName(), QStringLiteral("Cancel download"));
}

class UnknownInterfaceTest : public ::testing::TestWithParam<const char*> {};

// Only the one window the program was built with: no name reaches a file.
TEST_P(UnknownInterfaceTest, GivesNothing) {
    LinuxInterfaceLoader loader;
    EXPECT_EQ(loader.loadDownloadWindow(QString::fromUtf8(GetParam())), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Names, UnknownInterfaceTest,
                         ::testing::Values("", "clientdownloader", "ClientDownloader.ui"));

class SetProgressTest : public DownloadWindowTest,
                        public ::testing::WithParamInterface<std::pair<double, int>> {};

TEST_P(SetProgressTest, DrawsOutOfRangeValuesAtTheNearerEnd) {
    window->setProgress(42.0);
    window->setProgress(GetParam().first);
    EXPECT_EQ(window->progressBar()->value(), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Table, SetProgressTest,
                         ::testing::Values(std::pair{99.9, 99}, std::pair{100.0, 100},
                                           std::pair{150.0, 100}, std::pair{-5.0, 0},
                                           std::pair{std::numeric_limits<double>::quiet_NaN(), 0},
                                           std::pair{std::numeric_limits<double>::infinity(), 0}));

TEST_F(DownloadWindowTest, BusyBarAndStatusLine) {
    window->setIndeterminate(true);
    EXPECT_EQ(window->progressBar()->maximum(), 0);
    window->setIndeterminate(false);
    EXPECT_EQ(window->progressBar()->maximum(), 100);
    // A server's text cannot bring markup into the window.
    window->setStatusText(QStringLiteral("<b>1.2 MB</b> of 4.0 MB"));
    EXPECT_EQ(window->statusLabel()->text(), QStringLiteral("<b>1.2 MB</b> of 4.0 MB"));
    EXPECT_EQ(window->statusLabel()->textFormat(), Qt::PlainText);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(DownloadWindowTest, CentresComesToTheFrontAndPaintsWithoutTheEventLoop) {
    window->center();
    window->makeKeyAndOrderFront();
    QApplication::processEvents();
    EXPECT_TRUE(window->widget()->isVisible());
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    const QPoint windowCentre = window->widget()->frameGeometry().center();
    // Within the few pixels a window frame may add once shown.
    EXPECT_LE((screenCentre - windowCentre).manhattanLength(), 8);
    EXPECT_TRUE(window->widget()->isActiveWindow());
    PaintCounter painted;
    window->progressBar()->installEventFilter(&painted);
    window->setProgress(100.0);
    window->displayIfNeeded();
    EXPECT_GE(painted.count, 1);
}

TEST_F(DownloadWindowTest, CancelRunsTheLatestAction) {
    window->cancelButton()->click();  // no action yet: nothing happens
    int first = 0, second = 0;
    window->setCancelAction([&] { ++first; });
    window->setCancelAction([&] { ++second; });
    window->cancelButton()->click();
    EXPECT_EQ(std::pair(first, second), std::pair(0, 1));
    // Escape, wherever the focus is, is cancelling; other keys are not.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window->progressBar(), &escape);
    EXPECT_EQ(second, 2);
    QApplication::sendEvent(window->widget(), &enter);
    EXPECT_EQ(second, 2);
    // Closing the window is cancelling; the window stays for the action to decide.
    window->makeKeyAndOrderFront();
    EXPECT_FALSE(window->widget()->close());
    EXPECT_EQ(second, 3);
    EXPECT_TRUE(window->widget()->isVisible());
}

TEST_F(DownloadWindowTest, SheetEndsWithDidEnd) {
    window->makeKeyAndOrderFront();
    int cancelled = 0, ended = 0;
    window->setCancelAction([&] { ++cancelled; });
    window->beginSheet(Alert{QStringLiteral("Not downloaded."), {}, {"Quit"}}, [&] { ++ended; });
    // open() returns at once: the sheet is up, nothing has ended yet.
    EXPECT_EQ(ended, 0);
    auto* sheet = window->widget()->findChild<QMessageBox*>();
    ASSERT_NE(sheet, nullptr);
    QPointer<QMessageBox> guard(sheet);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    QApplication::processEvents();
    EXPECT_TRUE(sheet->isVisible());

    // While the sheet is up, closing the window or Escape in it cancels nothing.
    window->widget()->close();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window->widget(), &escape);
    EXPECT_EQ(cancelled, 0);

    ASSERT_EQ(sheet->buttons().size(), 1);
    sheet->buttons().front()->click();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(guard.isNull());
}

}  // namespace
}  // namespace qby::platform::linuxhost
