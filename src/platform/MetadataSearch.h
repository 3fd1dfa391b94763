#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace qby::platform {

// One result of a metadata query; its path attribute may be missing.
struct MetadataItem {
    std::optional<QString> path;
};

// A query over the user's files, run once and synchronously.
class MetadataQuery {
public:
    virtual ~MetadataQuery() = default;

    // Runs the initial search to completion; false when it could not run.
    virtual bool execute() = 0;
    virtual qint64 resultCount() const = 0;
    // The result at index, or nothing when there is no item there.
    virtual std::optional<MetadataItem> resultAtIndex(qint64 index) const = 0;
};

// Creates metadata queries from their query text.
class MetadataSearch {
public:
    virtual ~MetadataSearch() = default;

    // A query for the text, or nothing when the text is not a query this search understands.
    virtual std::unique_ptr<MetadataQuery> createQuery(const QString& queryText) = 0;
};

}  // namespace qby::platform
