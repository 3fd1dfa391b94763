#pragma once

#include "foundation/DownloadRequest.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace qby::app {

// The request a bundle name carries, its components split at every ".": the second is the key,
// the third the value ("" when there are exactly three); later ones are ignored. Game.K7.V9.app
// gives K7 = V9, Game.K7.app gives K7 = "". Nothing for fewer than three components: such a
// bundle takes its request from a request file beside it or from its own resource.
std::optional<foundation::DownloadRequest> requestOfBundleName(const QString& bundleName);

// The request files looked for beside a bundle, in order: the hidden ".Game.txt", then
// "Game.txt", Game being the bundle name less its last extension.
QStringList requestFileNames(const QString& bundleName);

}  // namespace qby::app
