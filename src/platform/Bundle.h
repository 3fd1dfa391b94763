#pragma once

#include <QString>
#include <optional>

namespace qby::platform {

// The running application's own bundle: where it lies, its resources and its translations.
class Bundle {
public:
    virtual ~Bundle() = default;

    // Absolute path of the bundle folder (Name.app).
    virtual QString bundlePath() const = 0;

    // Path of Contents/Resources/<directory>/<name>.<type> when that file exists.
    virtual std::optional<QString> pathForResource(const QString& name, const QString& type,
                                                   const QString& directory) const = 0;

    // The translation of key in table; value when there is none and value is not empty; else key.
    virtual QString localizedString(const QString& key, const QString& value,
                                    const QString& table) const = 0;
};

}  // namespace qby::platform
