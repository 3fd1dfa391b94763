#pragma once

#include <QMap>
#include <QString>

namespace qby::foundation {

// What the downloader hands to the store client: text keys to text values, built once per launch.
using DownloadRequest = QMap<QString, QString>;

// "{key = value; ...}": every key with its value, for the console log.
QString describeRequest(const DownloadRequest& request);

}  // namespace qby::foundation
