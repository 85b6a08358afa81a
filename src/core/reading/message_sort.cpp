#include "core/reading/message_sort.h"

#include <algorithm>
#include <numeric>
#include <random>

#include "core/reading/message_entry.h"
#include "core/ports/progress.h"
#include "core/text/bytes.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

// How the exchange sort treats equal keys.
//
// At position i the procedure keeps a running minimum at i and exchanges it with
// every strictly smaller later element, so elements only move along the chain
// of strict left-to-right minima of the suffix. Take the elements of one key v
// (the group) and those with smaller keys: larger keys never change the group's
// relative order, and among the smaller ones only their positions matter. While
// the first remaining element is smaller than v, the step only removes it. When
// it belongs to the group, it moves to the position of the first smaller element
// after it (which the chain carries on), so the group's leading block — its
// members standing before the first remaining smaller element — rotates left by
// one, and the members that follow that smaller element join the block.
//
// Hence, scanning the original order: a member is appended to the block, each
// smaller element rotates the block left by one (when it is not empty), and the
// block at the end is the group's final order. The smaller elements between two
// members are counted with a Fenwick tree over positions; rotations by the count
// modulo the block size use a vector for small groups and an implicit treap for
// big ones, so the whole sort is O(n log n).

class Fenwick {
 public:
  explicit Fenwick(size_t n) : tree_(n + 1, 0) {}
  void Add(size_t position) {
    for (size_t i = position + 1; i < tree_.size(); i += i & (~i + 1)) ++tree_[i];
  }
  // Elements at positions [0, end).
  uint32_t Prefix(size_t end) const {
    uint32_t sum = 0;
    for (size_t i = end; i > 0; i -= i & (~i + 1)) sum += tree_[i];
    return sum;
  }
  uint32_t Between(size_t first, size_t last) const {  // positions first..last-1
    return last > first ? Prefix(last) - Prefix(first) : 0;
  }

 private:
  std::vector<uint32_t> tree_;
};

// A sequence with "rotate left by k" and "append" in O(log n) (implicit treap).
class RotatingSequence {
 public:
  explicit RotatingSequence(size_t capacity) { nodes_.reserve(capacity); }
  size_t Size() const { return root_ == kNil ? 0 : nodes_[root_].size; }
  void Append(uint32_t value) {
    nodes_.push_back({value, static_cast<uint32_t>(rng_()), 1, kNil, kNil});
    root_ = Merge(root_, static_cast<uint32_t>(nodes_.size() - 1));
  }
  void RotateLeft(size_t k) {
    const size_t n = Size();
    if (n < 2 || k % n == 0) return;
    uint32_t a, b;
    Split(root_, static_cast<uint32_t>(k % n), a, b);
    root_ = Merge(b, a);
  }
  void AppendTo(std::vector<uint32_t>& out) const {
    std::vector<uint32_t> stack;
    uint32_t t = root_;
    while (t != kNil || !stack.empty()) {
      while (t != kNil) {
        stack.push_back(t);
        t = nodes_[t].left;
      }
      t = stack.back();
      stack.pop_back();
      out.push_back(nodes_[t].value);
      t = nodes_[t].right;
    }
  }

 private:
  static constexpr uint32_t kNil = UINT32_MAX;
  struct Node {
    uint32_t value, priority, size, left, right;
  };
  uint32_t SizeOf(uint32_t t) const { return t == kNil ? 0 : nodes_[t].size; }
  void Update(uint32_t t) { nodes_[t].size = 1 + SizeOf(nodes_[t].left) + SizeOf(nodes_[t].right); }
  uint32_t Merge(uint32_t a, uint32_t b) {
    if (a == kNil) return b;
    if (b == kNil) return a;
    if (nodes_[a].priority > nodes_[b].priority) {
      nodes_[a].right = Merge(nodes_[a].right, b);
      Update(a);
      return a;
    }
    nodes_[b].left = Merge(a, nodes_[b].left);
    Update(b);
    return b;
  }
  // The first k nodes of t into a, the rest into b.
  void Split(uint32_t t, uint32_t k, uint32_t& a, uint32_t& b) {
    if (t == kNil) {
      a = b = kNil;
      return;
    }
    if (SizeOf(nodes_[t].left) < k) {
      Split(nodes_[t].right, k - SizeOf(nodes_[t].left) - 1, nodes_[t].right, b);
      Update(t);
      a = t;
    } else {
      Split(nodes_[t].left, k, a, nodes_[t].left);
      Update(t);
      b = t;
    }
  }

  std::vector<Node> nodes_;
  uint32_t root_ = kNil;
  std::minstd_rand rng_{12345};
};

constexpr size_t kSmallGroup = 48;  // below this a plain vector rotation is cheaper

// The final order of one group: members (original positions, ascending) and
// the smaller elements already in `smaller`.
void PlaceGroup(const uint32_t* members, size_t count, const Fenwick& smaller, size_t n, std::vector<uint32_t>& out) {
  if (count == 1) {
    out.push_back(members[0]);
    return;
  }
  auto gap_after = [&](size_t k) {
    const size_t next = k + 1 < count ? members[k + 1] : n;
    return smaller.Between(members[k] + 1, next);
  };
  if (count <= kSmallGroup) {
    uint32_t block[kSmallGroup];
    size_t size = 0;
    for (size_t k = 0; k < count; ++k) {
      block[size++] = members[k];
      const size_t r = gap_after(k) % size;
      if (r != 0) std::rotate(block, block + r, block + size);
    }
    out.insert(out.end(), block, block + size);
    return;
  }
  RotatingSequence block(count);
  for (size_t k = 0; k < count; ++k) {
    block.Append(members[k]);
    block.RotateLeft(gap_after(k));
  }
  block.AppendTo(out);
}

// The indices 0..n-1 ordered by key, equal keys by index: a stable LSD radix
// sort of the keys' offsets from the smallest key, as few passes of at most 13
// bits as the range of the keys needs (one or two for real lists), the bits
// shared evenly among them.
template <typename Key>
std::vector<uint32_t> IndicesByKey(const Key* keys, size_t n) {
  std::vector<uint32_t> order(n);
  std::iota(order.begin(), order.end(), 0u);
  if (n < 2) return order;
  if (n < 256) {
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
    return order;
  }
  const auto [lo, hi] = std::minmax_element(keys, keys + n);
  const uint64_t min = static_cast<uint64_t>(*lo);
  const uint64_t range = static_cast<uint64_t>(*hi) - min;
  if (range == 0) return order;
  constexpr unsigned kMaxBits = 13;
  const auto range_bits = static_cast<unsigned>(64 - __builtin_clzll(range));
  const unsigned passes = (range_bits + kMaxBits - 1) / kMaxBits;
  const unsigned bits = (range_bits + passes - 1) / passes;
  const size_t mask = (size_t{1} << bits) - 1;
  std::vector<uint32_t> other(n);
  std::vector<uint32_t> count(mask + 1);
  for (unsigned shift = 0; shift < range_bits; shift += bits) {
    std::fill(count.begin(), count.end(), 0u);
    auto digit = [&](uint32_t i) {
      return static_cast<size_t>(((static_cast<uint64_t>(keys[i]) - min) >> shift) & mask);
    };
    for (size_t k = 0; k < n; ++k) ++count[digit(order[k])];
    uint32_t sum = 0;
    for (uint32_t& c : count) {
      const uint32_t here = c;
      c = sum;
      sum += here;
    }
    for (size_t k = 0; k < n; ++k) {
      const uint32_t i = order[k];
      other[count[digit(i)]++] = i;
    }
    order.swap(other);
  }
  return order;
}

// The exchange sort's order of n keys. The result is built in the array that
// holds the indices sorted by key: a group's final order fills exactly the
// range its members came from, so no second array is needed.
template <typename Key>
std::vector<uint32_t> OrderOfKeys(const Key* keys, size_t n) {
  std::vector<uint32_t> order = IndicesByKey(keys, n);
  bool ties = false;
  for (size_t p = 1; p < n && !ties; ++p) ties = keys[order[p]] == keys[order[p - 1]];
  if (!ties) return order;  // distinct keys: the plain sorted order
  Fenwick smaller(n);
  std::vector<uint32_t> placed;
  for (size_t begin = 0; begin < n;) {
    size_t end = begin + 1;
    const Key k = keys[order[begin]];
    while (end < n && keys[order[end]] == k) ++end;
    if (end - begin > 1) {
      placed.clear();
      PlaceGroup(order.data() + begin, end - begin, smaller, n, placed);
    }
    for (size_t i = begin; i < end; ++i) smaller.Add(order[i]);
    if (end - begin > 1) std::copy(placed.begin(), placed.end(), order.begin() + static_cast<ptrdiff_t>(begin));
    begin = end;
  }
  return order;
}

}  // namespace

std::vector<uint32_t> ExchangeSortOrder(const std::vector<int64_t>& keys) {
  return OrderOfKeys(keys.data(), keys.size());
}

std::vector<uint32_t> SortedOrder(const MessageList& messages, Progress& progress) {
  const size_t n = messages.Size();
  if (n == 0) return {};
  static const std::string label = Sjis("メッセージソート中...");
  progress.SetLabel(label);

  const auto& entries = messages.Entries();
  std::vector<uint32_t> order;
  {
    // The keys once, in a compact array: the sort then never touches the entries.
    // Keys of real lists span far less than 2^32: their offsets from the
    // smallest fit 32 bits, which halves the array.
    // One pass stores each key's offset from the first key modulo 2^32; when the
    // range fits, adding (first - min) turns them into exact offsets from min.
    const int64_t first = entries[0].SortKey();
    int64_t min = first, max = first;
    std::vector<uint32_t> small(n);
    for (size_t i = 0; i < n; ++i) {
      const int64_t key = entries[i].SortKey();
      min = std::min(min, key);
      max = std::max(max, key);
      small[i] = static_cast<uint32_t>(static_cast<uint64_t>(key) - static_cast<uint64_t>(first));
    }
    if (static_cast<uint64_t>(max) - static_cast<uint64_t>(min) <= UINT32_MAX) {
      const auto shift = static_cast<uint32_t>(static_cast<uint64_t>(first) - static_cast<uint64_t>(min));
      for (uint32_t& k : small) k += shift;
      order = OrderOfKeys(small.data(), n);
    } else {
      std::vector<uint32_t>().swap(small);
      std::vector<int64_t> keys(n);
      for (size_t i = 0; i < n; ++i) keys[i] = entries[i].SortKey();
      order = OrderOfKeys(keys.data(), n);
    }
  }
  // The positions the exchange sort reports, one per outer step.
  PercentTracker percent(n);
  for (size_t i = 0; i < n; ++i) progress.Step(percent.Update(i));
  return order;
}

void ArrangeMessages(MessageList& messages, std::vector<uint32_t>& order) {
  const size_t n = messages.Size();
  auto& entries = messages.Entries();

  // Apply the permutation in place, cycle by cycle; SeqNo stays with its position.
  // The entries are read in random order: each cycle is walked in batches, the
  // batch's positions first (from the small order array), so that the entries
  // can be fetched well ahead of their copying.
  constexpr size_t kBatch = 64;
  constexpr size_t kAhead = 8;
  auto prefetch = [&](size_t i) {
    const char* p = reinterpret_cast<const char*>(&entries[i]);
    for (size_t line = 0; line < sizeof(MessageEntry); line += 64) __builtin_prefetch(p + line);
    __builtin_prefetch(p + sizeof(MessageEntry) - 1);
  };
  uint32_t chain[kBatch + 1];
  for (size_t start = 0; start < n; ++start) {
    if (order[start] == start) continue;
    const MessageEntry carried = entries[start];
    size_t q = start;
    for (bool closed = false; !closed;) {
      // chain[0] = q, chain[k + 1] = order[chain[k]]: entries[chain[k]] takes entries[chain[k + 1]].
      size_t length = 0;
      chain[0] = static_cast<uint32_t>(q);
      while (length < kBatch) {
        const uint32_t from = order[chain[length]];
        chain[++length] = from;
        if (from == start) {
          closed = true;
          break;
        }
      }
      for (size_t k = 1; k <= std::min(kAhead, length); ++k) prefetch(chain[k]);
      for (size_t k = 0; k < length; ++k) {
        if (k + kAhead + 1 <= length) prefetch(chain[k + kAhead + 1]);
        const size_t to = chain[k];
        const size_t from = chain[k + 1];
        order[to] = static_cast<uint32_t>(to);
        const int32_t seq = entries[to].seq_no;
        entries[to] = from == start && closed && k + 1 == length ? carried : entries[from];
        entries[to].seq_no = seq;
      }
      q = chain[length];
    }
  }
}

void SortMessages(MessageList& messages, Progress& progress) {
  std::vector<uint32_t> order = SortedOrder(messages, progress);
  ArrangeMessages(messages, order);
}

}  // namespace tobrisk
