#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace qby::testsupport {

// Sets or clears environment variables for one test and puts every old value back when it goes,
// also when an assertion ends the test early.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        for (auto saved = saved_.rbegin(); saved != saved_.rend(); ++saved)
            saved->second ? qputenv(saved->first, *saved->second) : qunsetenv(saved->first);
    }

    void set(const QByteArray& name, const QString& value) {
        save(name);
        qputenv(name, QFile::encodeName(value));
    }
    void unset(const QByteArray& name) {
        save(name);
        qunsetenv(name);
    }

private:
    void save(const QByteArray& name) {
        saved_.emplace_back(
            name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    }

    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> saved_;
};

}  // namespace qby::testsupport
