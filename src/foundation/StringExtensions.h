#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// Text operations over QString. Lengths and positions count UTF-16 code units; paths use "/"
// as separator, with a leading "/" a component of its own.
namespace qby::foundation {

// The integer in decimal ("%ld").
QString stringWithInteger(qint64 value);

// Literal, case-sensitive substring search; an empty other is never found.
bool containsString(const QString& text, const QString& other);
bool containsStringIgnoringCase(const QString& text, const QString& other);
// False for an empty or longer prefix/suffix.
bool hasPrefixIgnoringCase(const QString& text, const QString& prefix);
bool hasSuffixIgnoringCase(const QString& text, const QString& suffix);
bool isEqualToStringIgnoringCase(const QString& text, const QString& other);

// Not empty and nothing but Unicode decimal digits.
bool isAllDigits(const QString& text);
// Not empty and nothing but "0123456789.".
bool isSimpleVersionNumber(const QString& text);

// Without the leading ("^\s*") or trailing ("\s*$") run of white space.
QString stringByTrimmingLeadingWhitespace(const QString& text);
QString stringByTrimmingTrailingWhitespace(const QString& text);

quint64 countOccurrencesOfChar(const QString& text, QChar c);

// 32 lowercase hex digits of the MD5 of the UTF-8 bytes before the first zero byte.
QString MD5(const QString& text);

// The name of the folder that holds the last component.
QString lastPathComponentParentName(const QString& path);
// Every proper ancestor, shortest first ("/a/b/c" gives "/", "/a", "/a/b").
QStringList allParentPaths(const QString& path);
// The ancestors that come after the one equal to ancestor.
QStringList parentPathsAfterPath(const QString& path, const QString& ancestor);
QString stringByReplacingLastPathComponentWith(const QString& path, const QString& name);
QString stringByAppendingPathComponent1(const QString& path, const QString& first,
                                        const QString& second);

}  // namespace qby::foundation
