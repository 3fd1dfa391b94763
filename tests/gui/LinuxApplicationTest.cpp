#include "platform/linux/ui/LinuxApplication.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>

namespace qby::platform::linuxhost {
namespace {

// The button text as shown, with the "&&" that keeps an ampersand literal undone.
QString shownText(QString buttonText) {
    return buttonText.replace(QStringLiteral("&&"), QStringLiteral("&"));
}

// Waits (from the event loop, five seconds at most) for a modal message box, lets inspect look
// at it, then presses its button titled title as the user reads it, or closes it when empty.
void pressWhenShown(const QString& title, std::function<void(QMessageBox&)> inspect = nullptr) {
    auto* timer = new QTimer(qApp);
    auto attempts = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (++*attempts > 500) timer->deleteLater();
        if (*attempts > 500 || !box || !box->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        if (inspect) inspect(*box);
        if (title.isEmpty()) return (void)box->close();
        for (QAbstractButton* button : box->buttons())
            if (shownText(button->text()) == title) return button->click();
        ADD_FAILURE() << "no button titled " << title.toStdString();
        box->close();
    });
    timer->start(10);
}

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
                      AlertCase{{"One", "Two", "Three"}, "Three", 1002},
                      AlertCase{{"One", "Two", "Three"}, "Two", 1001},
                      // Every alert has a button; closing it stands for the last one.
                      AlertCase{{}, "OK", 1000}, AlertCase{{"Support", "Quit"}, "", 1001}));

TEST(RunModalTest, ShowsTheAlertAsGiven) {
    LinuxApplication application;
    QStringList shown, buttons;
    pressWhenShown(QStringLiteral("Quit"), [&](QMessageBox& box) {
        shown = {box.windowTitle(), box.text(), box.informativeText(),
                 box.defaultButton() ? shownText(box.defaultButton()->text()) : QString()};
        for (QAbstractButton* button : box.buttons()) buttons.append(button->text());
    });
    const Alert alert{"Quillbay Downloader", "Installs the app.\n", {"Download & Install", "Quit"}};
    EXPECT_EQ(application.runModal(alert), 1001);
    EXPECT_EQ(shown, QStringList({"Quillbay Downloader", alert.messageText, alert.informativeText,
                                  "Download & Install"}));
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

}  // namespace
}  // namespace qby::platform::linuxhost
