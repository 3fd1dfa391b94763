#pragma once

#include <QString>

namespace qby::storeclient {

// The user's data folder ($XDG_DATA_HOME, by default ~/.local/share), where the downloader's drop
// folder and the client's own records live.
QString userDataFolder();

}  // namespace qby::storeclient
