#include "QStringPrinter.h"
#include "foundation/UserMessage.h"

#include <gtest/gtest.h>

namespace qby::foundation {
namespace {

TEST(UserMessageTest, FillsEachPlaceholderOnceByItsNumber) {
    EXPECT_EQ(filledIn("%2 before %1", {"a", "b"}), QString("b before a"));
    // A value holding a placeholder is not filled again; one without a value stays.
    EXPECT_EQ(filledIn("saved to %1: %2.", {"/tmp/%2", "full"}),
              QString("saved to /tmp/%2: full."));
    EXPECT_EQ(filledIn("%1 and %3, 100%", {"x"}), QString("x and %3, 100%"));
}

}  // namespace
}  // namespace qby::foundation
