#include "platform/linux/desktop/DesktopEntry.h"

#include "foundation/BundleLayout.h"

namespace qby::platform::linuxhost {
namespace {

// The X11 window class of the client's windows, so the desktop ties them to the entry.
const QString kClientWindowClass = QStringLiteral("Quillbay");

bool hasControlCharacter(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
    }
    return false;
}

// A single file name inside the bundle: no folder, no way out of it.
bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !hasControlCharacter(name);
}

std::optional<QString> textValue(const QVariantMap& info, const QString& key) {
    const auto found = info.constFind(key);
    if (found == info.cend() || found->typeId() != QMetaType::QString) return std::nullopt;
    return found->toString();
}

// A value of type string or localestring: backslashes doubled, a leading blank kept as \s.
QString escapedValue(const QString& value) {
    QString escaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\') {
            escaped += QStringLiteral("\\\\");
        } else if (i == 0 && value[i] == u' ') {
            escaped += QStringLiteral("\\s");
        } else {
            escaped += value[i];
        }
    }
    return escaped;
}

// The program of an Exec key: quoted whole, so that blanks and the characters a shell would
// read stay part of the path; "%" doubled, as field codes start with it.
QString execArgument(const QString& path) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
        quoted += c;
        if (c == u'%') quoted += u'%';
    }
    return escapedValue(quoted + u'"');
}

}  // namespace

std::optional<DesktopEntryFields> desktopEntryFieldsOfBundle(const QVariantMap& info,
                                                             const QString& bundlePath) {
    if (!bundlePath.startsWith(u'/') || hasControlCharacter(bundlePath)) return std::nullopt;
    DesktopEntryFields fields;
    const std::optional<QString> executable = textValue(info, QStringLiteral("CFBundleExecutable"));
    if (!executable || !isPlainFileName(*executable)) return std::nullopt;
    fields.executable = foundation::BundleLayout::executable(bundlePath, *executable);

    if (const std::optional<QString> icon = textValue(info, QStringLiteral("CFBundleIconFile"))) {
        if (!isPlainFileName(*icon)) return std::nullopt;
        fields.icon = bundlePath + QStringLiteral("/Contents/Resources/") + *icon;
    }

    fields.name = textValue(info, QStringLiteral("CFBundleName")).value_or(QString());
    if (hasControlCharacter(fields.name)) return std::nullopt;
    if (fields.name.isEmpty()) {
        fields.name = bundlePath.mid(bundlePath.lastIndexOf(u'/') + 1);
        if (fields.name.endsWith(QStringLiteral(".app"))) fields.name.chop(4);
    }
    if (fields.name.isEmpty()) return std::nullopt;
    return fields;
}

QString desktopEntryText(const DesktopEntryFields& fields) {
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nVersion=1.4\n");
    text += QStringLiteral("Name=") + escapedValue(fields.name) + u'\n';
    text += QStringLiteral("Exec=") + execArgument(fields.executable) + u'\n';
    text += QStringLiteral("TryExec=") + escapedValue(fields.executable) + u'\n';
    if (!fields.icon.isEmpty()) text += QStringLiteral("Icon=") + escapedValue(fields.icon) + u'\n';
    text += QStringLiteral("StartupWMClass=") + kClientWindowClass + u'\n';
    text += QStringLiteral("Categories=Game;\n");
    return text;
}

}  // namespace qby::platform::linuxhost
