// A stable topological order of plan steps by the units they belong to.
#include "compiler/program/step_order.h"

#include <algorithm>
#include <functional>
#include <queue>

namespace mirtova {

Result<std::vector<size_t>, size_t> order_steps(const std::vector<size_t>& unit_of_step,
                                                const std::vector<std::vector<size_t>>& needs) {
  const size_t units = needs.size();
  std::vector<std::vector<size_t>> steps_of(units), readers(units);
  for (size_t step = 0; step < unit_of_step.size(); ++step) steps_of[unit_of_step[step]].push_back(step);
  // Per unit, how many units it still waits for and how many of its steps are not placed.
  std::vector<size_t> missing(units, 0), left(units);
  std::vector<std::vector<size_t>> waits_for(units);
  for (size_t u = 0; u < units; ++u) {
    left[u] = steps_of[u].size();
    std::vector<size_t>& wanted = waits_for[u];
    for (size_t w : needs[u])
      if (w != u && !steps_of[w].empty()) wanted.push_back(w);
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    missing[u] = wanted.size();
    for (size_t w : wanted) readers[w].push_back(u);
  }
  std::priority_queue<size_t, std::vector<size_t>, std::greater<size_t>> ready;
  for (size_t u = 0; u < units; ++u)
    if (missing[u] == 0)
      for (size_t step : steps_of[u]) ready.push(step);
  std::vector<size_t> order;
  order.reserve(unit_of_step.size());
  while (!ready.empty()) {
    const size_t step = ready.top();
    ready.pop();
    order.push_back(step);
    const size_t u = unit_of_step[step];
    if (--left[u] > 0) continue;
    for (size_t reader : readers[u])
      if (--missing[reader] == 0)
        for (size_t s : steps_of[reader]) ready.push(s);
  }
  if (order.size() == unit_of_step.size()) return order;
  // Every unit left waits for another one left: following the first of those
  // from any of them comes back round to a unit it passed.
  size_t u = 0;
  while (left[u] == 0) ++u;
  std::vector<char> passed(units, 0);
  while (!passed[u]) {
    passed[u] = 1;
    for (size_t w : waits_for[u])
      if (left[w] > 0) {
        u = w;
        break;
      }
  }
  return make_err(u);
}

}  // namespace mirtova
