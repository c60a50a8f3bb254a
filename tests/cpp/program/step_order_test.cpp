#include "compiler/program/step_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace mirtova {
namespace {

struct Case {
  const char* what;
  std::vector<size_t> unit_of_step;
  std::vector<std::vector<size_t>> needs;
  std::vector<size_t> order;  // empty: a cycle
  std::vector<size_t> cycle;  // the units any of which may be named
};

TEST(StepOrderTest, EachStepAfterTheUnitsItNeeds) {
  const std::vector<Case> cases = {
      {"an order that already meets every need is kept", {0, 1, 2}, {{}, {0}, {0, 1}}, {0, 1, 2}, {}},
      {"a reader written before what it reads moves after it", {1, 0}, {{}, {0}}, {1, 0}, {}},
      {"a unit's readers follow it, and theirs them", {2, 1, 0}, {{}, {0}, {1}}, {2, 1, 0}, {}},
      {"the steps of one unit stay in their order, after every need",
       {1, 1, 1, 0},
       {{}, {0}},
       {3, 0, 1, 2},
       {}},
      {"a unit waits for every step of the one it reads", {1, 0, 2, 0}, {{}, {0}, {}}, {1, 2, 3, 0}, {}},
      {"a need twice, or of itself, or of a unit without steps, counts once or not at all",
       {1, 0},
       {{}, {0, 0, 1, 2}, {}},
       {1, 0},
       {}},
      {"steps free to go stay where they were written", {0, 2, 1, 3}, {{}, {}, {1}, {}}, {0, 2, 1, 3}, {}},
      {"two units that read each other have no order", {0, 1}, {{1}, {0}}, {}, {0, 1}},
      {"a unit that waits on a circle is not on it: the circle is named",
       {0, 1, 2, 3},
       {{}, {3}, {1}, {2}},
       {},
       {1, 2, 3}},
  };
  for (const Case& c : cases) {
    auto got = order_steps(c.unit_of_step, c.needs);
    if (c.order.empty()) {
      ASSERT_FALSE(got.ok()) << c.what;
      EXPECT_NE(std::find(c.cycle.begin(), c.cycle.end(), got.error()), c.cycle.end()) << c.what;
      continue;
    }
    ASSERT_TRUE(got.ok()) << c.what;
    const std::vector<size_t>& order = got.value();
    ASSERT_EQ(order.size(), c.unit_of_step.size()) << c.what;
    // A permutation in which every step comes after every step of each unit its own needs.
    std::vector<size_t> place(order.size());
    for (size_t at = 0; at < order.size(); ++at) place[order[at]] = at;
    for (size_t step = 0; step < order.size(); ++step)
      for (size_t need : c.needs[c.unit_of_step[step]])
        for (size_t other = 0; other < order.size(); ++other)
          if (c.unit_of_step[other] == need && need != c.unit_of_step[step]) {
            EXPECT_LT(place[other], place[step]) << c.what << ": step " << step << " after " << other;
          }
    EXPECT_EQ(order, c.order) << c.what;
  }
}

}  // namespace
}  // namespace mirtova
