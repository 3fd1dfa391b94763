// Posts one notification through the user's session bus and ends at once, as the downloader
// does right after handing off. Usage: platform_post_notification NAME
#include "platform/linux/desktop/LinuxNotificationCenter.h"

#include <QString>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    qby::platform::linuxhost::LinuxNotificationCenter center;
    center.postNotification(QString::fromUtf8(argv[1]));
    return 0;
}
