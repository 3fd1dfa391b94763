#include "platform/linux/LinuxDownloadWindow.h"
#include "platform/linux/LinuxInterfaceLoader.h"

#include "ModalPresser.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <limits>

namespace qby::platform::linuxhost {
namespace {

const QString kResources = QStringLiteral(QBY_RESOURCES_DIR);

LinuxDownloadWindow* loadReal(LinuxInterfaceLoader& loader) {
    return static_cast<LinuxDownloadWindow*>(
        loader.loadDownloadWindow(QStringLiteral("ClientDownloader")));
}

// Screen readers announce a window (not a bare panel) and name every control.
TEST(InterfaceLoaderTest, TheWindowIsAnnouncedAsAWindowWithNamedControls) {
    LinuxInterfaceLoader loader(kResources);
    LinuxDownloadWindow* window = loadReal(loader);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(window->statusLabel(), nullptr);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(window->widget());
    ASSERT_NE(accessible, nullptr);
    EXPECT_TRUE(accessible->role() == QAccessible::Dialog ||
                accessible->role() == QAccessible::Window)
        << accessible->role();
    EXPECT_EQ(window->progressBar()->accessibleName(), QStringLiteral("Download progress"));
    EXPECT_EQ(window->cancelButton()->accessibleName(), QStringLiteral("Cancel download"));
}

struct BrokenCase {
    const char* name;
    const char* fileName;  // written into the resources folder, if any
    QByteArray content;
};

class BrokenInterfaceTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenInterfaceTest, GivesNothing) {
    QTemporaryDir resources;
    if (GetParam().fileName) {
        QFile file(resources.filePath(QString::fromUtf8(GetParam().fileName)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(GetParam().content);
    }
    LinuxInterfaceLoader loader(resources.path());
    EXPECT_EQ(loader.loadDownloadWindow(QString::fromUtf8(GetParam().name)), nullptr);
}

const QByteArray kWithoutBar = R"(<?xml version="1.0"?><ui version="4.0"><widget class="QWidget"
 name="window"><widget class="QLabel" name="statusLabel"/><widget class="QPushButton"
 name="cancelButton"/></widget></ui>)";
const QByteArray kWithoutCancel = R"(<?xml version="1.0"?><ui version="4.0"><widget class="QWidget"
 name="window"><widget class="QLabel" name="statusLabel"/><widget class="QProgressBar" name="mBar"/>
 </widget></ui>)";
const QByteArray kWithoutStatus = R"(<?xml version="1.0"?><ui version="4.0"><widget class="QWidget"
 name="window"><widget class="QProgressBar" name="mBar"/><widget class="QPushButton"
 name="cancelButton"/></widget></ui>)";

INSTANTIATE_TEST_SUITE_P(
    Table, BrokenInterfaceTest,
    ::testing::Values(BrokenCase{"ClientDownloader", nullptr, {}},
                      BrokenCase{"ClientDownloader", "ClientDownloader.ui", {}},
                      BrokenCase{"ClientDownloader", "ClientDownloader.ui", "<ui><widget"},
                      BrokenCase{"ClientDownloader", "ClientDownloader.ui", "\x00\xff\xfe garbage"},
                      BrokenCase{"ClientDownloader", "ClientDownloader.ui", kWithoutBar},
                      BrokenCase{"ClientDownloader", "ClientDownloader.ui", kWithoutCancel},
                      BrokenCase{"ClientDownloader", "ClientDownloader.ui", kWithoutStatus},
                      BrokenCase{"", nullptr, {}}, BrokenCase{"../x", nullptr, {}}));

TEST(BrokenInterfaceTest, NamesCannotLeaveTheResourcesFolder) {
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkdir(QStringLiteral("Resources")));
    ASSERT_TRUE(QFile::copy(kResources + QStringLiteral("/ClientDownloader.ui"),
                            root.filePath(QStringLiteral("Outside.ui"))));
    LinuxInterfaceLoader loader(root.filePath(QStringLiteral("Resources")));
    EXPECT_EQ(loader.loadDownloadWindow(QStringLiteral("../Outside")), nullptr);
}

TEST(BrokenInterfaceTest, ADeviceInPlaceOfTheFileIsRefused) {
    QTemporaryDir resources;
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"),
                            resources.filePath(QStringLiteral("ClientDownloader.ui"))));
    LinuxInterfaceLoader loader(resources.path());
    EXPECT_EQ(loader.loadDownloadWindow(QStringLiteral("ClientDownloader")), nullptr);
}

class SetProgressTest : public ::testing::TestWithParam<std::pair<double, int>> {};

TEST_P(SetProgressTest, DrawsOutOfRangeValuesAtTheNearerEnd) {
    LinuxInterfaceLoader loader(kResources);
    LinuxDownloadWindow* window = loadReal(loader);
    ASSERT_NE(window, nullptr);
    window->setProgress(42.0);
    window->setProgress(GetParam().first);
    EXPECT_EQ(window->progressBar()->value(), GetParam().second) << GetParam().first;
}

INSTANTIATE_TEST_SUITE_P(Table, SetProgressTest,
                         ::testing::Values(std::pair{0.0, 0}, std::pair{25.0, 25},
                                           std::pair{99.9, 99}, std::pair{100.0, 100},
                                           std::pair{150.0, 100}, std::pair{1e300, 100},
                                           std::pair{-5.0, 0}, std::pair{-1e300, 0},
                                           std::pair{std::numeric_limits<double>::quiet_NaN(), 0},
                                           std::pair{std::numeric_limits<double>::infinity(), 0},
                                           std::pair{-std::numeric_limits<double>::infinity(), 0}));

TEST(DownloadWindowTest, BusyBarAndStatusLine) {
    LinuxInterfaceLoader loader(kResources);
    LinuxDownloadWindow* window = loadReal(loader);
    ASSERT_NE(window, nullptr);
    window->setIndeterminate(true);
    EXPECT_EQ(window->progressBar()->maximum(), 0);
    window->setIndeterminate(false);
    window->setProgress(40.0);
    EXPECT_EQ(window->progressBar()->maximum(), 100);
    EXPECT_EQ(window->progressBar()->value(), 40);
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

TEST(DownloadWindowTest, DisplayIfNeededPaintsWithoutTheEventLoop) {
    LinuxInterfaceLoader loader(kResources);
    LinuxDownloadWindow* window = loadReal(loader);
    ASSERT_NE(window, nullptr);
    window->makeKeyAndOrderFront();
    QApplication::processEvents();
    PaintCounter painted;
    window->progressBar()->installEventFilter(&painted);
    window->setProgress(100.0);
    window->displayIfNeeded();
    EXPECT_GE(painted.count, 1);
    window->widget()->hide();
}

TEST(DownloadWindowTest, CentresAndComesToTheFront) {
    LinuxInterfaceLoader loader(kResources);
    LinuxDownloadWindow* window = loadReal(loader);
    ASSERT_NE(window, nullptr);
    window->center();
    window->makeKeyAndOrderFront();
    QApplication::processEvents();
    EXPECT_TRUE(window->widget()->isVisible());
    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    const QPoint windowCentre = window->widget()->frameGeometry().center();
    // Within the few pixels a window frame may add once shown.
    EXPECT_LE((screenCentre - windowCentre).manhattanLength(), 8)
        << screenCentre.x() << "," << screenCentre.y() << " " << windowCentre.x() << ","
        << windowCentre.y() << " " << window->widget()->width() << "x"
        << window->widget()->height();
    EXPECT_TRUE(window->widget()->isActiveWindow());
    window->widget()->hide();
}

TEST(DownloadWindowTest, CancelRunsTheLatestAction) {
    LinuxInterfaceLoader loader(kResources);
    LinuxDownloadWindow* window = loadReal(loader);
    ASSERT_NE(window, nullptr);
    window->cancelButton()->click();  // no action yet: nothing happens
    int first = 0;
    int second = 0;
    window->setCancelAction([&] { ++first; });
    window->setCancelAction([&] { ++second; });
    window->cancelButton()->click();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    // Escape, wherever the focus is, is cancelling; other keys are not.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window->progressBar(), &escape);
    EXPECT_EQ(second, 2);
    QApplication::sendEvent(window->widget(), &enter);
    EXPECT_EQ(second, 2);
    window->setCancelAction([&] { ++second; });
    // Closing the window is cancelling; the window stays for the action to decide.
    window->makeKeyAndOrderFront();
    EXPECT_FALSE(window->widget()->close());
    EXPECT_EQ(second, 3);
    EXPECT_TRUE(window->widget()->isVisible());
    window->widget()->hide();
}

TEST(DownloadWindowTest, SheetEndsWithDidEnd) {
    LinuxInterfaceLoader loader(kResources);
    LinuxDownloadWindow* window = loadReal(loader);
    ASSERT_NE(window, nullptr);
    window->makeKeyAndOrderFront();
    int cancelled = 0;
    window->setCancelAction([&] { ++cancelled; });
    int ended = 0;
    window->beginSheet(Alert{QStringLiteral("The Quillbay app could not be downloaded."),
                             QStringLiteral("The QBY servers may be busy."),
                             {QStringLiteral("Quit")}},
                       [&] { ++ended; });
    // open() returns at once: the sheet is up, nothing has ended yet.
    EXPECT_EQ(ended, 0);
    auto* sheet = window->widget()->findChild<QMessageBox*>();
    ASSERT_NE(sheet, nullptr);
    QPointer<QMessageBox> guard(sheet);
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_EQ(sheet->text(), QStringLiteral("The Quillbay app could not be downloaded."));
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
    window->widget()->hide();
}

TEST(DownloadWindowTest, LoaderKeepsEveryWindowItLoaded) {
    LinuxInterfaceLoader loader(kResources);
    LinuxDownloadWindow* first = loadReal(loader);
    LinuxDownloadWindow* second = loadReal(loader);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    first->setProgress(10);
    second->setProgress(20);
    EXPECT_EQ(first->progressBar()->value(), 10);
    EXPECT_EQ(second->progressBar()->value(), 20);
}

}  // namespace
}  // namespace qby::platform::linuxhost
