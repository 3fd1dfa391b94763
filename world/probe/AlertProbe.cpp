// A stand-in desktop program for checking the sandbox itself: shows one modal alert built from
// its arguments and prints the title of the button that was pressed.
//   AlertProbe <window title> <message> <informative text> <button>...
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: AlertProbe title message informative button...\n");
        return 2;
    }
    QMessageBox box;
    box.setWindowTitle(QString::fromUtf8(argv[1]));
    box.setText(QString::fromUtf8(argv[2]));
    box.setInformativeText(QString::fromUtf8(argv[3]));
    for (int i = 4; i < argc; ++i) {
        // A lone "&" marks a keyboard shortcut on a button; the title is shown as given.
        box.addButton(QString::fromUtf8(argv[i]).replace(u'&', QStringLiteral("&&")),
                      QMessageBox::AcceptRole);
    }
    box.exec();
    const auto* pressed = box.clickedButton();
    std::printf("%s\n", pressed ? pressed->text().toUtf8().constData() : "");
    return 0;
}
