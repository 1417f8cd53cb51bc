#include "foundation/progress.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class RecordingSink : public ProgressSink {
  public:
    void Report(float overall) override { reports.push_back(overall); }
    bool IsCancelled() override { return cancelled; }
    std::vector<float> reports;
    bool cancelled = false;
};

}  // namespace

TEST(ProgressSink, NestedLevelsAddUp) {
    RecordingSink sink;
    ASSERT_TRUE(ProgressPush(&sink, 4));
    ProgressStep(&sink, 2);
    ASSERT_TRUE(ProgressPush(&sink, 10));
    ProgressStep(&sink, 5);
    ASSERT_EQ(sink.reports.size(), 2u);
    EXPECT_FLOAT_EQ(sink.reports[0], 0.5f);
    EXPECT_FLOAT_EQ(sink.reports[1], 0.625f);

    ProgressStepEnd(&sink, 9);  // the last inner step done: 0.5 + 10 * 0.025
    EXPECT_FLOAT_EQ(sink.reports.back(), 0.75f);
    ProgressReport(&sink, 0.5f);  // half of inner step 9
    EXPECT_FLOAT_EQ(sink.reports.back(), 0.5f + 9 * 0.025f + 0.0125f);

    ProgressPop(&sink);
    ProgressStepEnd(&sink, 3);
    EXPECT_FLOAT_EQ(sink.reports.back(), 1.0f);
}

TEST(ProgressSink, RefusesTooManyOrEmptyLevels) {
    RecordingSink sink;
    EXPECT_FALSE(ProgressPush(&sink, 0));
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(ProgressPush(&sink, 2)) << i;
    EXPECT_FALSE(ProgressPush(&sink, 2));
    EXPECT_EQ(sink.level_count, 10);
    // Ten halvings: step 1 of the innermost level is 1/1024.
    ProgressStep(&sink, 1);
    EXPECT_FLOAT_EQ(sink.reports.back(), 1.0f / 1024);
    ProgressClear(&sink);
    EXPECT_EQ(sink.level_count, 0);
}

TEST(ProgressSink, NoOpenLevel) {
    RecordingSink sink;
    ProgressStep(&sink, 3);
    ProgressStepEnd(&sink, 3);
    EXPECT_TRUE(sink.reports.empty());
    ProgressReport(&sink, 0.5f);
    ASSERT_EQ(sink.reports.size(), 1u);
    EXPECT_EQ(sink.reports[0], 0.0f);
    ProgressPop(&sink);
    EXPECT_EQ(sink.level_count, 0);
}

TEST(ProgressSink, NullSinkAndCancel) {
    EXPECT_FALSE(ProgressPush(nullptr, 3));
    ProgressStep(nullptr, 1);
    ProgressReport(nullptr, 0.5f);
    ProgressPop(nullptr);
    EXPECT_FALSE(ProgressIsCancelled(nullptr));
    RecordingSink sink;
    sink.cancelled = true;
    EXPECT_TRUE(ProgressIsCancelled(&sink));
}
