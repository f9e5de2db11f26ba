#include "RecordingView.h"
#include "exam/CompareAnswer.h"
#include "exam/Errors.h"
#include "exam/Gbk.h"
#include "exam/SourceCount.h"

#include <gtest/gtest.h>

namespace qarvel::exam {
namespace {

using testing::RecordingView;

TEST(Score, ExtendedPrecisionRoundsHalfToEven) {
    struct Case {
        int correct, total;
        std::int64_t score;
    } cases[] = {{1, 8, 12}, {3, 8, 38}, {59, 200, 29}, {213, 200, 107},
                 {47, 40, 117}, {0, 7, 0}, {5, 5, 100}, {2, 3, 67}};
    for (const auto& c : cases) {
        EXPECT_EQ(Score(c.correct, c.total), c.score) << c.correct << "/" << c.total;
    }
}

TEST(Score, NothingToCountIsAFloatingPointError) {
    EXPECT_THROW(Score(0, 0), InvalidOpError);
    EXPECT_THROW(Score(3, 0), ZeroDivideError);
}

} // namespace
} // namespace qarvel::exam
