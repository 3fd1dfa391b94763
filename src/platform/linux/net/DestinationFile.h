#pragma once

#include "foundation/Result.h"
#include "platform/linux/net/RunningSha256.h"

#include <QString>

namespace qby::platform::linuxhost {

// The file a download writes its body into. It is created at the first write (or when an empty
// body is complete), owner-only (0600): nothing but this user's processes needs the archive. The
// SHA-256 digest of what it holds is taken as the bytes go in (RunningSha256).
class DestinationFile {
public:
    DestinationFile() = default;
    DestinationFile(const DestinationFile&) = delete;
    DestinationFile& operator=(const DestinationFile&) = delete;
    ~DestinationFile();

    // Where to write; without allowOverwrite an existing file there makes the creation fail.
    void setPath(const QString& path, bool allowOverwrite);
    bool hasPath() const { return !path_.isEmpty(); }
    const QString& path() const { return path_; }

    // Creates the file unless that happened already.
    foundation::Status create();
    // Appends all of data (to the disk once a megabyte has gathered, or at close); creates the
    // file first when needed.
    foundation::Status write(const char* data, qint64 length);
    // Empties the file, for a body that starts over.
    foundation::Status truncate();
    // Writes what has gathered and closes the file; a failure here can mean lost data (a full
    // disk).
    foundation::Status close();
    // Closes the file and deletes it, when this object created it.
    void remove();
    // Takes over the file already at the path, to append to it: its size.
    foundation::Result<qint64> adopt();
    // Closes the file and leaves it to others: it is no longer removed here.
    foundation::Status release();
    // The SHA-256 digest of the bytes the file holds; empty when it could not be taken.
    QByteArray sha256() const { return digest_.digest(); }

private:
    foundation::Status flush();

    QString path_;
    bool allowOverwrite_ = false;
    int descriptor_ = -1;
    bool created_ = false;
    RunningSha256 digest_;
    // Appended bytes not yet written.
    QByteArray pending_;
    // What the file holds on disk.
    qint64 written_ = 0;
};

}  // namespace qby::platform::linuxhost
