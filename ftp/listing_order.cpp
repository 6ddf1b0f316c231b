#include "ftp/listing_order.hpp"

#include <algorithm>
#include <numeric>

namespace qor {

namespace {

// Counts over 0..n-1 with prefix sums and k-th search, both O(log n).
class Fenwick {
 public:
  explicit Fenwick(std::size_t n) : tree_(n + 1, 0) {}
  void add(std::size_t i, long delta) {
    for (++i; i < tree_.size(); i += i & (~i + 1)) tree_[i] += delta;
  }
  // Sum over [0, i).
  long prefix(std::size_t i) const {
    long s = 0;
    for (; i > 0; i -= i & (~i + 1)) s += tree_[i];
    return s;
  }
  // Smallest i whose prefix sum over [0, i] exceeds k (all counts 0 or 1).
  std::size_t find_kth(long k) const {
    std::size_t pos = 0;
    std::size_t step = 1;
    while (step * 2 < tree_.size()) step *= 2;
    for (; step > 0; step /= 2) {
      if (pos + step < tree_.size() && tree_[pos + step] <= k) {
        pos += step;
        k -= tree_[pos];
      }
    }
    return pos;
  }

 private:
  std::vector<long> tree_;
};

std::vector<std::size_t> rank_keys(const std::vector<std::string>& keys, std::size_t& distinct) {
  std::vector<std::size_t> by_key(keys.size());
  std::iota(by_key.begin(), by_key.end(), 0);
  std::sort(by_key.begin(), by_key.end(),
            [&](std::size_t x, std::size_t y) { return compare_space_filled(keys[x], keys[y]) < 0; });
  std::vector<std::size_t> rank(keys.size());
  distinct = 0;
  for (std::size_t i = 0; i < by_key.size(); ++i) {
    if (i > 0 && compare_space_filled(keys[by_key[i - 1]], keys[by_key[i]]) != 0) ++distinct;
    rank[by_key[i]] = distinct;
  }
  if (!keys.empty()) ++distinct;
  return rank;
}

}  // namespace

int compare_space_filled(std::string_view a, std::string_view b) {
  const std::size_t n = std::max(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
    const auto cb = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return 0;
}

// How the exchange sort moves entries:
// - Its first pass (a = 0) carries a running maximum through the array: at
//   each strictly greater entry the carried one is left behind and the new
//   one taken up; position 0 ends with the first entry of the largest key.
// - Every later pass a inserts entry a into the sorted prefix 0..a-1, after
//   the entries with keys not above its own; each group of equal keys above
//   it moves its first entry to its own end (a rotation by one).
// So a group's final order follows from when its members joined and how
// many smaller keys were inserted in between; a group is kept as a ring
// with a start mark, whose insert positions are turned into final places
// backwards with a Fenwick tree.
std::vector<std::size_t> exchange_sort_order(const std::vector<std::string>& keys) {
  const std::size_t m = keys.size();
  if (m == 0) return {};
  std::size_t distinct = 0;
  const std::vector<std::size_t> rank = rank_keys(keys, distinct);

  // The first pass.
  std::vector<std::size_t> at(m);
  std::iota(at.begin(), at.end(), 0);
  std::size_t carried = at[0];
  for (std::size_t b = 1; b < m; ++b) {
    if (rank[at[b]] > rank[carried]) std::swap(at[b], carried);
  }
  at[0] = carried;

  // smaller_before[t]: insertions before pass t with a smaller key.
  std::vector<long> smaller_before(m, 0);
  std::vector<long> smaller_total(distinct + 1, 0);
  {
    Fenwick seen(distinct);
    for (std::size_t t = 1; t < m; ++t) {
      smaller_before[t] = seen.prefix(rank[at[t]]);
      seen.add(rank[at[t]], 1);
      ++smaller_total[rank[at[t]] + 1];
    }
    std::partial_sum(smaller_total.begin(), smaller_total.end(), smaller_total.begin());
  }

  // Members of each group, in the order they joined the sorted prefix.
  std::vector<std::vector<std::size_t>> joined(distinct);
  for (std::size_t t = 0; t < m; ++t) joined[rank[at[t]]].push_back(t);

  std::vector<std::size_t> order;
  order.reserve(m);
  for (std::size_t g = 0; g < distinct; ++g) {
    const auto& members = joined[g];
    const std::size_t n = members.size();
    std::vector<std::size_t> insert_at(n);
    std::size_t start = 0;
    long counted = 0;
    for (std::size_t j = 0; j < n; ++j) {
      const long rotations = smaller_before[members[j]] - counted;
      if (j > 0) start = (start + static_cast<std::size_t>(rotations) % j) % j;
      insert_at[j] = start;  // in front of the ring's start: the group's end
      start = (start + 1) % (j + 1);
      counted = smaller_before[members[j]];
    }
    start = (start + static_cast<std::size_t>(smaller_total[g] - counted) % n) % n;

    std::vector<std::size_t> ring(n);
    Fenwick free_slots(n);
    for (std::size_t i = 0; i < n; ++i) free_slots.add(i, 1);
    for (std::size_t j = n; j-- > 0;) {
      const std::size_t slot = free_slots.find_kth(static_cast<long>(insert_at[j]));
      ring[slot] = at[members[j]];
      free_slots.add(slot, -1);
    }
    for (std::size_t i = 0; i < n; ++i) order.push_back(ring[(start + i) % n]);
  }
  return order;
}

}  // namespace qor
