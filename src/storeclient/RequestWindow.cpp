#include "storeclient/RequestWindow.h"

#include <QLabel>
#include <QListWidget>
#include <QStringList>
#include <QVBoxLayout>

namespace qby::storeclient {

RequestWindow::RequestWindow(QWidget* parent) : QWidget(parent), requests_(new QListWidget) {
    setWindowTitle(QStringLiteral("Quillbay"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Download requests received:")));
    layout->addWidget(requests_);
    resize(420, 300);
}

void RequestWindow::bringForward() {
    showNormal();
    raise();
    activateWindow();
}

void RequestWindow::addRequest(const QString& file, const Request& request) {
    QStringList lines;
    for (auto entry = request.cbegin(); entry != request.cend(); ++entry) {
        lines.append(entry.key() + QStringLiteral(" = ") + entry.value());
    }
    if (lines.isEmpty()) {
        lines.append(QStringLiteral("(empty request)"));
    }
    auto* item = new QListWidgetItem(lines.join(QLatin1Char('\n')), requests_);
    item->setToolTip(file);
    while (requests_->count() > kShownRequests) {
        delete requests_->takeItem(0);
    }
}

}  // namespace qby::storeclient
