#include "platform/linux/LinuxApplication.h"

#include "ModalPresser.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace qby::platform::linuxhost {
namespace {

using qby::testing::pressWhenShown;
using qby::testing::shownText;

struct AlertCase {
    QStringList titles;
    QString pressed;  // empty: the box is closed through its window
    int expected;
};

class RunModalTest : public ::testing::TestWithParam<AlertCase> {};

TEST_P(RunModalTest, AnswersByTheOrderButtonsWereAdded) {
    LinuxApplication application;
    pressWhenShown(GetParam().pressed);
    const Alert alert{QStringLiteral("Message"), QStringLiteral("Details"), GetParam().titles};
    EXPECT_EQ(application.runModal(alert), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunModalTest,
    ::testing::Values(AlertCase{{"Download & Install", "Quit"}, "Download & Install", 1000},
                      AlertCase{{"Quit"}, "Quit", 1000},
                      AlertCase{{"One", "Two", "Three"}, "Three", 1002},
                      AlertCase{{"One", "Two", "Three"}, "Two", 1001},
                      // Every alert has a button; closing it stands for the last one.
                      AlertCase{{}, "OK", 1000}, AlertCase{{"Support", "Quit"}, "", 1001},
                      AlertCase{{"Quit"}, "", 1000}));

TEST(RunModalTest, ShowsTheAlertAsGiven) {
    LinuxApplication application;
    QString title, text, informative, defaultButton;
    QStringList buttons;
    pressWhenShown(QStringLiteral("Quit"), [&](QMessageBox& box) {
        title = box.windowTitle();
        text = box.text();
        informative = box.informativeText();
        defaultButton = box.defaultButton() ? shownText(box.defaultButton()->text()) : QString();
        for (QAbstractButton* button : box.buttons()) {
            buttons.append(button->text());
        }
    });
    const Alert alert{QStringLiteral("Quillbay Downloader"),
                      QStringLiteral("This application will install the Quillbay app.\n"),
                      {QStringLiteral("Download & Install"), QStringLiteral("Quit")}};
    EXPECT_EQ(application.runModal(alert), 1001);
    EXPECT_EQ(title, QStringLiteral("Quillbay Downloader"));
    EXPECT_EQ(text, alert.messageText);
    EXPECT_EQ(informative, alert.informativeText);
    EXPECT_EQ(defaultButton, QStringLiteral("Download & Install"));
    // The ampersand is shown, not taken as a shortcut marker.
    EXPECT_TRUE(buttons.contains(QStringLiteral("Download && Install")));
}

TEST(RunModalTest, ClosingTheLastAlertKeepsTheEventLoopRunning) {
    LinuxApplication application;
    QObject scope;  // ends the timers with the test
    int answer = 0;
    bool stillRunning = false;
    QTimer::singleShot(0, &scope, [&] {
        pressWhenShown(QStringLiteral("Quit"));
        answer = application.runModal(Alert{QStringLiteral("Only window"), QString(), {"Quit"}});
        QTimer::singleShot(100, &scope, [&] {
            stillRunning = true;
            QCoreApplication::exit(0);
        });
    });
    QTimer::singleShot(5000, &scope, [] { QCoreApplication::exit(1); });
    QApplication::exec();
    EXPECT_EQ(answer, 1000);
    EXPECT_TRUE(stillRunning);
}

TEST(TerminateDeathTest, RunsTheHandlerOnceThenEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            LinuxApplication application;
            application.setTerminationHandler([&] {
                std::fputs("clean-up ran\n", stderr);
                application.terminate();  // asking again from the clean-up changes nothing
            });
            QTimer::singleShot(0, [&] {
                application.terminate();
                std::fputs("still running\n", stderr);
            });
            QTimer::singleShot(2000, [] { QCoreApplication::exit(3); });
            QApplication::exec();
            std::fputs("event loop returned\n", stderr);
        },
        ::testing::ExitedWithCode(0), "clean-up ran\n$");
}

TEST(TerminateDeathTest, BeforeTheEventLoopTheProcessStillEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            LinuxApplication application;
            application.setTerminationHandler([] { std::fputs("clean-up ran\n", stderr); });
            application.terminate();
            std::fputs("still running\n", stderr);
        },
        ::testing::ExitedWithCode(0), "clean-up ran\n$");
}

}  // namespace
}  // namespace qby::platform::linuxhost
