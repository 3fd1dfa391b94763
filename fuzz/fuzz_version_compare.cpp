// The version comparator on two arbitrary texts: it answers -1, 0 or 1, a text equals itself, and
// swapping the texts flips the answer. The one exception is a separator meeting a dash: the
// mismatched-type rule answers -1 both ways there, and a dash part only comes from a text that
// begins with "-".
#include "FuzzInput.h"
#include "foundation/VersionComparator.h"

using qby::fuzz::require;
using qby::fuzz::visible;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const bool utf16 = input.ConsumeBool();
    const QString a = qby::fuzz::nextText(input, utf16, size);
    const QString b = qby::fuzz::remainingText(input, utf16);
    const qby::foundation::VersionComparator& comparator =
        qby::foundation::VersionComparator::defaultComparator();

    const qint64 forward = comparator.compareVersion(a, b);
    const qint64 backward = comparator.compareVersion(b, a);
    const QString pair = visible(a) + QStringLiteral(" | ") + visible(b);
    require(forward >= -1 && forward <= 1 && backward >= -1 && backward <= 1, "answer in -1..1",
            pair);
    require(comparator.compareVersion(a, a) == 0 && comparator.compareVersion(b, b) == 0,
            "a text equals itself", pair);
    const bool separatorMeetsDash =
        forward == -1 && backward == -1 &&
        (a.startsWith(QLatin1Char('-')) || b.startsWith(QLatin1Char('-')));
    require(separatorMeetsDash || forward == -backward, "compare(a,b) == -compare(b,a)",
            pair + QStringLiteral(" gives %1 and %2").arg(forward).arg(backward));
    return 0;
}
