#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

namespace qby::testsupport {

// Sets environment variables for the life of the object; their earlier values (or absence) come
// back at its end.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment();

    void set(const char* name, const QByteArray& value);

private:
    struct Saved {
        const char* name;
        bool wasSet;
        QByteArray value;
    };
    QList<Saved> saved_;
};

}  // namespace qby::testsupport
