#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace qby::foundation {

// Orders version texts such as "10.6", "10.15.7", "1.0b1" or "2.1 beta".
// A version is cut into parts (runs of digits, runs of other text, single separators); the
// leading numeric runs of both versions are brought to the same shape, then the parts are
// compared pairwise: numbers by value, text by character code.
// Stateless: one shared instance serves the whole process, from any thread.
class VersionComparator {
public:
    enum CharacterType : qint64 {
        NumberType = 0,       // decimal digits
        StringType = 1,       // everything that belongs to no other type
        PeriodType = 2,       // "." only
        PunctuationType = 3,  // punctuation other than "." and "-"
        WhitespaceType = 4,   // white space and line breaks
        DashType = 5,         // "-" only
    };

    // The process-wide instance, created once on first use (safe from several threads).
    static VersionComparator& defaultComparator();

    // -1 when a is lower than b, 0 when both are equal, 1 when a is higher.
    // A missing text is the empty (null) QString.
    qint64 compareVersion(const QString& a, const QString& b) const;

private:
    // The parts of a version; everything from a "-" after the first character on is ignored.
    QStringList splitVersionString(const QString& version) const;

    // The type of a single character or of a whole part (decided by the first character,
    // except that "." and "-" as whole texts are periods and dashes).
    CharacterType typeOfCharacter(QStringView text) const;

    bool isSeparatorType(CharacterType type) const;
    // Separators form one class; every other type is a class of its own.
    bool isEqualCharacterTypeClassForTypeA(CharacterType a, CharacterType b) const;

    // Length of the leading run of number and period parts.
    quint64 countOfNumberAndPeriodStartingParts(const QStringList& parts) const;

    // Inserts "0" and "." parts after the leading run of `parts` (of length partsCount) so that
    // it mirrors the shape of `model`'s leading run (of length modelCount).
    void addNumberAndPeriodPartsToParts(QStringList& parts, quint64 partsCount,
                                        const QStringList& model, quint64 modelCount) const;

    // Extends the list whose leading run is shorter so that both runs have the same shape.
    void balanceVersionPartsA(QStringList& a, QStringList& b) const;
};

}  // namespace qby::foundation
