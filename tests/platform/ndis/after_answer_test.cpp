// Work a request's thread puts off until the request is answered.
#include <gtest/gtest.h>

#include <string>

#include "platform/ndis/host/after_answer.h"

namespace zl::ndishost {
namespace {

TEST(AfterAnswerTest, OutsideAnAnswerNothingIsPutOff) {
  bool ran = false;
  EXPECT_FALSE(DeferUntilAnswered(&ran, [&] { ran = true; }));
  EXPECT_FALSE(ran);
  RunAfterAnswer();
  EXPECT_FALSE(ran);
}

TEST(AfterAnswerTest, WorkWaitsForTheAnswerRunsInOrderAndOncePerKey) {
  std::string done;
  const int first = 0, second = 0;
  BeginAnswer();
  EXPECT_TRUE(DeferUntilAnswered(&first, [&] { done += "a"; }));
  EXPECT_TRUE(DeferUntilAnswered(&second, [&] { done += "b"; }));
  EXPECT_TRUE(DeferUntilAnswered(&first, [&] { done += "x"; }));  // the first work does it already
  EXPECT_EQ(done, "");
  RunAfterAnswer();
  EXPECT_EQ(done, "ab");

  // Ended: the next work is the caller's to do now; a new answer defers again.
  EXPECT_FALSE(DeferUntilAnswered(&first, [&] { done += "c"; }));
  BeginAnswer();
  EXPECT_TRUE(DeferUntilAnswered(&first, [&] { done += "d"; }));
  RunAfterAnswer();
  EXPECT_EQ(done, "abd");
}

TEST(AfterAnswerTest, WorkThatPutsOffMoreWorkHasItDoneAtOnce) {
  std::string done;
  const int key = 0;
  BeginAnswer();
  DeferUntilAnswered(&key, [&] {
    done += "a";
    if (!DeferUntilAnswered(&done, [&] { done += "never"; })) done += "b";
  });
  RunAfterAnswer();
  EXPECT_EQ(done, "ab");
}

}  // namespace
}  // namespace zl::ndishost
