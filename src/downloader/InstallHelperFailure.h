#pragma once

#include <QString>

namespace qby::downloader {

// What a failed run of the install helper did, by its exit status, for the "Install stopped"
// line of the console log.
QString installHelperFailure(int status);

}  // namespace qby::downloader
