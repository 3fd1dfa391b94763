#include "QStringPrinter.h"
#include "foundation/UserMessage.h"

#include <gtest/gtest.h>

namespace qby::foundation {
namespace {

TEST(UserMessageTest, FillsEachPlaceholderOnceByItsNumber) {
    struct Row {
        const char* format;
        QStringList arguments;
        const char* filled;
    };
    for (const Row& row : {
             Row{"after %1 of %2 bytes.", {"100", "684"}, "after 100 of 684 bytes."},
             Row{"%2 before %1", {"a", "b"}, "b before a"},
             // A value holding a placeholder is not filled again.
             Row{"saved to %1: %2.", {"/tmp/%2", "No space"}, "saved to /tmp/%2: No space."},
             Row{"%1 and %3, 100%", {"x"}, "x and %3, 100%"},
         }) {
        EXPECT_EQ(filledIn(row.format, row.arguments), QString(row.filled)) << row.format;
    }
    const Error error = userError(7, "%1 seconds", {"60"});
    EXPECT_EQ(
        QStringList({QString::number(error.code), error.message, error.format}) + error.arguments,
        QStringList({"7", "60 seconds", "%1 seconds", "60"}));
}

}  // namespace
}  // namespace qby::foundation
