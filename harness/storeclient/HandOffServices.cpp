#include "HandOffServices.h"

namespace qby::harness::storeclient {

HandOffServices::HandOffServices(const QDBusConnection& bus, const QString& home)
    : workspace_({home + "/Applications"}, bus, home),
      metadataSearch_(home),
      notificationCenter_(bus),
      systemInfo_(probe_),
      proxy_({workspace_, metadataSearch_, notificationCenter_, application_, bundle_, pauses_,
              systemInfo_, logs_}) {}

}  // namespace qby::harness::storeclient
