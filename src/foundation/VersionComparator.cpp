#include "VersionComparator.h"

#include <QVarLengthArray>
#include <QtGlobal>
#include <limits>
#include <utility>

namespace qby::foundation {

namespace {

using Type = VersionComparator::CharacterType;

Type typeOfChar(QChar c) {
    if (c == u'.') {
        return VersionComparator::PeriodType;
    }
    if (c == u'-') {
        return VersionComparator::DashType;
    }
    switch (c.category()) {
        case QChar::Number_DecimalDigit:
            return VersionComparator::NumberType;
        case QChar::Separator_Space:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return VersionComparator::WhitespaceType;
        case QChar::Punctuation_Connector:
        case QChar::Punctuation_Dash:
        case QChar::Punctuation_Open:
        case QChar::Punctuation_Close:
        case QChar::Punctuation_InitialQuote:
        case QChar::Punctuation_FinalQuote:
        case QChar::Punctuation_Other:
            return VersionComparator::PunctuationType;
        default:
            break;
    }
    const char16_t u = c.unicode();
    if ((u >= 0x0009 && u <= 0x000D) || u == 0x0085) {
        return VersionComparator::WhitespaceType;
    }
    return VersionComparator::StringType;
}

qint64 sign(int value) {
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

Type typeOfText(QStringView text) {
    if (text.isEmpty()) {
        return VersionComparator::StringType;
    }
    const Type first = typeOfChar(text.front());
    if (text.size() == 1) {
        return first;
    }
    // Only the exact texts "." and "-" are a period and a dash; leading a longer text, both are
    // ordinary punctuation.
    return first == VersionComparator::PeriodType || first == VersionComparator::DashType
               ? VersionComparator::PunctuationType
               : first;
}

bool isSeparator(Type type) {
    return type == VersionComparator::PeriodType || type == VersionComparator::PunctuationType ||
           type == VersionComparator::WhitespaceType;
}

// The steps below work on two kinds of parts lists: QStringList for the public operations, and
// views into the version texts for comparisons, which then allocate no text at all.
template <typename Part>
Part slice(const QString& text, qsizetype start, qsizetype length);

template <>
QString slice<QString>(const QString& text, qsizetype start, qsizetype length) {
    return text.mid(start, length);
}

template <>
QStringView slice<QStringView>(const QString& text, qsizetype start, qsizetype length) {
    return QStringView(text).mid(start, length);
}

template <typename Part>
Part literal(const char16_t (&text)[2]);

template <>
QString literal<QString>(const char16_t (&text)[2]) {
    return QString(QChar(text[0]));
}

template <>
QStringView literal<QStringView>(const char16_t (&text)[2]) {
    return QStringView(text, 1);
}

// Typical versions have a handful of parts: those stay on the stack.
using ViewParts = QVarLengthArray<QStringView, 16>;

template <typename Parts>
Parts split(const QString& version) {
    using Part = typename Parts::value_type;
    Parts parts;
    if (version.isEmpty()) {
        return parts;
    }
    qsizetype start = 0;
    Type previous = typeOfChar(version.at(0));
    for (qsizetype i = 1; i < version.size(); ++i) {
        const Type type = typeOfChar(version.at(i));
        if (type == VersionComparator::DashType) {
            parts.append(slice<Part>(version, start, i - start));
            return parts;
        }
        if (type != previous || isSeparator(type)) {
            parts.append(slice<Part>(version, start, i - start));
            start = i;
        }
        previous = type;
    }
    parts.append(slice<Part>(version, start, version.size() - start));
    return parts;
}

template <typename Parts>
quint64 leadingRun(const Parts& parts) {
    quint64 count = 0;
    for (const auto& part : parts) {
        const Type type = typeOfText(part);
        if (type != VersionComparator::NumberType && type != VersionComparator::PeriodType) {
            break;
        }
        ++count;
    }
    return count;
}

template <typename Parts>
void extend(Parts& parts, quint64 partsCount, const Parts& model, quint64 modelCount) {
    using Part = typename Parts::value_type;
    if (partsCount >= modelCount) {
        return;
    }
    const quint64 end = qMin(modelCount, static_cast<quint64>(model.size()));
    if (partsCount >= end) {
        return;
    }
    Parts inserted;
    inserted.reserve(static_cast<qsizetype>(end - partsCount));
    for (quint64 i = partsCount; i < end; ++i) {
        const Type type = typeOfText(model.at(static_cast<qsizetype>(i)));
        if (type == VersionComparator::PeriodType) {
            inserted.append(literal<Part>(u"."));
        } else if (type == VersionComparator::NumberType) {
            inserted.append(literal<Part>(u"0"));
        } else {
            // modelCount was not the length of the model's leading run.
            Q_ASSERT_X(false, "VersionComparator::addNumberAndPeriodPartsToParts",
                       "model part inside the leading run is neither a number nor a period");
            break;
        }
    }
    // One splice instead of one insertion per part keeps long versions linear.
    const qsizetype at = static_cast<qsizetype>(qMin(partsCount, quint64(parts.size())));
    Parts result;
    result.reserve(parts.size() + inserted.size());
    for (qsizetype i = 0; i < at; ++i) {
        result.append(parts.at(i));
    }
    for (const Part& part : inserted) {
        result.append(part);
    }
    for (qsizetype i = at; i < parts.size(); ++i) {
        result.append(parts.at(i));
    }
    // Swapped, not move-assigned: Qt 6.4's QVarLengthArray move assignment drops the target's
    // heap buffer without freeing it, a leak on every long version.
    std::swap(parts, result);
}

template <typename Parts>
void balance(Parts& a, Parts& b) {
    const quint64 countA = leadingRun(a);
    const quint64 countB = leadingRun(b);
    if (countA > countB) {
        extend(b, countB, a, countA);
    } else if (countB > countA) {
        extend(a, countA, b, countB);
    }
}

qint64 numberValue(QStringView digits) {
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (QChar c : digits) {
        // Every decimal digit counts by its own value: Arabic-Indic U+0661 U+0660 is ten.
        const int digit = qMax(c.digitValue(), 0);
        if (value > (kMax - digit) / 10) {
            return kMax;
        }
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

VersionComparator& VersionComparator::defaultComparator() {
    // A function-local static is initialised exactly once, also under concurrent first calls.
    static VersionComparator shared;
    return shared;
}

VersionComparator::CharacterType VersionComparator::typeOfCharacter(QStringView text) const {
    return typeOfText(text);
}

bool VersionComparator::isSeparatorType(CharacterType type) const {
    return isSeparator(type);
}

bool VersionComparator::isEqualCharacterTypeClassForTypeA(CharacterType a, CharacterType b) const {
    return a == b || (isSeparator(a) && isSeparator(b));
}

QStringList VersionComparator::splitVersionString(const QString& version) const {
    return split<QStringList>(version);
}

quint64 VersionComparator::countOfNumberAndPeriodStartingParts(const QStringList& parts) const {
    return leadingRun(parts);
}

void VersionComparator::addNumberAndPeriodPartsToParts(QStringList& parts, quint64 partsCount,
                                                       const QStringList& model,
                                                       quint64 modelCount) const {
    extend(parts, partsCount, model, modelCount);
}

void VersionComparator::balanceVersionPartsA(QStringList& a, QStringList& b) const {
    balance(a, b);
}

qint64 VersionComparator::compareVersion(const QString& a, const QString& b) const {
    ViewParts partsA = split<ViewParts>(a);
    ViewParts partsB = split<ViewParts>(b);
    balance(partsA, partsB);

    const qsizetype n = qMin(partsA.size(), partsB.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QStringView partA = partsA.at(i);
        const QStringView partB = partsB.at(i);
        const Type typeA = typeOfText(partA);
        const Type typeB = typeOfText(partB);
        if (!isEqualCharacterTypeClassForTypeA(typeA, typeB)) {
            if (typeA == StringType) {
                return -1;
            }
            if (typeB == StringType) {
                return 1;
            }
            return typeA == NumberType ? 1 : -1;
        }
        if (typeA == StringType) {
            const qint64 order = sign(partA.compare(partB, Qt::CaseSensitive));
            if (order != 0) {
                return order;
            }
        } else if (typeA == NumberType) {
            const qint64 valueA = numberValue(partA);
            const qint64 valueB = numberValue(partB);
            if (valueA != valueB) {
                return valueA > valueB ? 1 : -1;
            }
        }
        // Two separators of any kind, or two dashes, decide nothing.
    }

    if (partsA.size() == partsB.size()) {
        return 0;
    }
    const bool firstIsLonger = partsA.size() > partsB.size();
    const QStringView extra = firstIsLonger ? partsA.at(n) : partsB.at(n);
    // A text suffix marks a pre-release (lower); any other suffix makes the version higher.
    const bool longerIsHigher = typeOfText(extra) != StringType;
    return (firstIsLonger == longerIsHigher) ? 1 : -1;
}

}  // namespace qby::foundation
