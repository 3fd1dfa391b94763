#include "foundation/PathComponents.h"

namespace qby::foundation {
namespace {

// Components other than the root hold no "/"; appending in place keeps this linear.
QString joinedComponents(const QStringList& components, qsizetype count) {
    QString path;
    for (qsizetype i = 0; i < count; ++i) {
        if (!path.isEmpty() && !path.endsWith(u'/')) {
            path.append(u'/');
        }
        path.append(components.at(i));
    }
    return path;
}

QString withoutTrailingSlashes(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) {
        path.chop(1);
    }
    return path;
}

}  // namespace

QStringList pathComponents(const QString& path) {
    QStringList components;
    if (path.startsWith(u'/')) {
        components.append(QStringLiteral("/"));
    }
    for (const QString& piece : path.split(u'/', Qt::SkipEmptyParts)) {
        components.append(piece);
    }
    return components;
}

// Joins with exactly one "/" between path and component.
QString appendingPathComponent(const QString& path, const QString& component) {
    if (path.isEmpty()) {
        return component;
    }
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == u'/') {
        --end;
    }
    qsizetype start = 0;
    while (start < component.size() && component.at(start) == u'/') {
        ++start;
    }
    QString joined = path.left(end);
    if (start == component.size()) {
        return joined;
    }
    if (!joined.endsWith(u'/')) {
        joined.append(u'/');
    }
    joined.append(QStringView(component).mid(start));
    return joined;
}

QString lastPathComponent(const QString& path) {
    const QStringList components = pathComponents(path);
    return components.isEmpty() ? QString() : components.last();
}

QString deletingLastPathComponent(const QString& path) {
    const QStringList components = pathComponents(path);
    if (components.size() <= 1) {
        return path.startsWith(u'/') ? QStringLiteral("/") : QString();
    }
    return joinedComponents(components, components.size() - 1);
}

QString deletingPathExtension(const QString& path) {
    const QString trimmed = withoutTrailingSlashes(path);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = trimmed.lastIndexOf(QLatin1Char('.'));
    // A leading dot names a hidden file; it is no extension.
    return dot > slash + 1 ? trimmed.left(dot) : trimmed;
}

}  // namespace qby::foundation
