#include "VersionComparator.h"

#include <QtGlobal>
#include <limits>

namespace qby {

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

}  // namespace

VersionComparator& VersionComparator::defaultComparator() {
    // A function-local static is initialised exactly once, also under concurrent first calls.
    static VersionComparator shared;
    return shared;
}

VersionComparator::CharacterType VersionComparator::typeOfCharacter(QStringView text) const {
    if (text.isEmpty()) {
        return StringType;
    }
    const Type first = typeOfChar(text.front());
    if (text.size() == 1) {
        return first;
    }
    // Only the exact texts "." and "-" are a period and a dash; leading a longer text, both are
    // ordinary punctuation.
    return first == PeriodType || first == DashType ? PunctuationType : first;
}

bool VersionComparator::isSeparatorType(CharacterType type) const {
    return type == PeriodType || type == PunctuationType || type == WhitespaceType;
}

bool VersionComparator::isEqualCharacterTypeClassForTypeA(CharacterType a, CharacterType b) const {
    return a == b || (isSeparatorType(a) && isSeparatorType(b));
}

QStringList VersionComparator::splitVersionString(const QString& version) const {
    QStringList parts;
    if (version.isEmpty()) {
        return parts;
    }
    qsizetype start = 0;
    Type previous = typeOfChar(version.at(0));
    for (qsizetype i = 1; i < version.size(); ++i) {
        const Type type = typeOfChar(version.at(i));
        if (type == DashType) {
            parts.append(version.mid(start, i - start));
            return parts;
        }
        if (type != previous || isSeparatorType(type)) {
            parts.append(version.mid(start, i - start));
            start = i;
        }
        previous = type;
    }
    parts.append(version.mid(start));
    return parts;
}

quint64 VersionComparator::countOfNumberAndPeriodStartingParts(const QStringList& parts) const {
    quint64 count = 0;
    for (const QString& part : parts) {
        const Type type = typeOfCharacter(part);
        if (type != NumberType && type != PeriodType) {
            break;
        }
        ++count;
    }
    return count;
}

void VersionComparator::addNumberAndPeriodPartsToParts(QStringList& parts, quint64 partsCount,
                                                       const QStringList& model,
                                                       quint64 modelCount) const {
    if (partsCount >= modelCount) {
        return;
    }
    const quint64 end = qMin(modelCount, static_cast<quint64>(model.size()));
    if (partsCount >= end) {
        return;
    }
    QStringList inserted;
    inserted.reserve(static_cast<qsizetype>(end - partsCount));
    for (quint64 i = partsCount; i < end; ++i) {
        const Type type = typeOfCharacter(model.at(static_cast<qsizetype>(i)));
        if (type == PeriodType) {
            inserted.append(QStringLiteral("."));
        } else if (type == NumberType) {
            inserted.append(QStringLiteral("0"));
        } else {
            // modelCount was not the length of the model's leading run.
            Q_ASSERT_X(false, "VersionComparator::addNumberAndPeriodPartsToParts",
                       "model part inside the leading run is neither a number nor a period");
            break;
        }
    }
    // One splice instead of one insertion per part keeps long versions linear.
    const quint64 at = qMin(partsCount, static_cast<quint64>(parts.size()));
    QStringList result;
    result.reserve(parts.size() + inserted.size());
    const auto split = parts.cbegin() + static_cast<qsizetype>(at);
    result.append(QStringList(parts.cbegin(), split));
    result.append(inserted);
    result.append(QStringList(split, parts.cend()));
    parts = std::move(result);
}

void VersionComparator::balanceVersionPartsA(QStringList& a, QStringList& b) const {
    const quint64 countA = countOfNumberAndPeriodStartingParts(a);
    const quint64 countB = countOfNumberAndPeriodStartingParts(b);
    if (countA > countB) {
        addNumberAndPeriodPartsToParts(b, countB, a, countA);
    } else if (countB > countA) {
        addNumberAndPeriodPartsToParts(a, countA, b, countB);
    }
}

qint64 VersionComparator::numberValue(QStringView digits) {
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

qint64 VersionComparator::compareVersion(const QString& a, const QString& b) const {
    QStringList partsA = splitVersionString(a);
    QStringList partsB = splitVersionString(b);
    balanceVersionPartsA(partsA, partsB);

    const qsizetype n = qMin(partsA.size(), partsB.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QString& partA = partsA.at(i);
        const QString& partB = partsB.at(i);
        const Type typeA = typeOfCharacter(partA);
        const Type typeB = typeOfCharacter(partB);
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
            const qint64 order = sign(QString::compare(partA, partB, Qt::CaseSensitive));
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
    const QString& extra = firstIsLonger ? partsA.at(n) : partsB.at(n);
    // A text suffix marks a pre-release (lower); any other suffix makes the version higher.
    const bool longerIsHigher = typeOfCharacter(extra) != StringType;
    return (firstIsLonger == longerIsHigher) ? 1 : -1;
}

}  // namespace qby
