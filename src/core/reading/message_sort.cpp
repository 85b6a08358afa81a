#include "core/reading/message_sort.h"

#include <algorithm>
#include <numeric>
#include <random>
#include <utility>

#include "core/reading/message_entry.h"
#include "core/ports/progress.h"
#include "core/text/bytes.h"
#include "core/text/run_beside.h"
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

// The set bits of a word, without a library call where the processor lacks the instruction.
uint32_t OnesIn(uint64_t word) {
  word -= (word >> 1) & 0x5555555555555555ull;
  word = (word & 0x3333333333333333ull) + ((word >> 2) & 0x3333333333333333ull);
  word = (word + (word >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<uint32_t>((word * 0x0101010101010101ull) >> 56);
}

// Which positions were added, counted by ranges: a bit per position, the
// count before each word within its block of 512 positions, and a Fenwick tree
// over the blocks. Adding touches one word, the counts of the words after it in
// its block (one cache line) and a few counters that stay in the cache; a count
// looks at one word.
class Fenwick {
 public:
  explicit Fenwick(size_t n) : bits_(n / 64 + 1, 0), in_block_(n / 64 + 1, 0), blocks_(n / kBlock + 2, 0) {}
  void Add(size_t position) {
    const size_t word = position / 64;
    bits_[word] |= uint64_t{1} << (position % 64);
    const size_t block_end = std::min(in_block_.size(), (word / kWords + 1) * kWords);
    for (size_t w = word + 1; w < block_end; ++w) ++in_block_[w];
    for (size_t i = position / kBlock + 1; i < blocks_.size(); i += i & (~i + 1)) ++blocks_[i];
  }
  // Positions in [0, end) added.
  uint32_t Prefix(size_t end) const {
    uint32_t sum = in_block_[end / 64];
    for (size_t i = end / kBlock; i > 0; i -= i & (~i + 1)) sum += blocks_[i];
    if (end % 64 != 0) sum += OnesIn(bits_[end / 64] & ((uint64_t{1} << (end % 64)) - 1));
    return sum;
  }

 private:
  static constexpr size_t kBlock = 512;
  static constexpr size_t kWords = kBlock / 64;
  std::vector<uint64_t> bits_;
  std::vector<uint16_t> in_block_;  // per word: the positions added in the words before it in its block
  std::vector<uint32_t> blocks_;
};

// Positions given once, counted by ranges in constant time: a bit per
// position and the count before each word.
class FixedPositions {
 public:
  FixedPositions(const uint32_t* positions, size_t count, size_t n) : bits_(n / 64 + 1, 0), before_(n / 64 + 1, 0) {
    for (size_t k = 0; k < count; ++k) bits_[positions[k] / 64] |= uint64_t{1} << (positions[k] % 64);
    uint32_t sum = 0;
    for (size_t w = 0; w < bits_.size(); ++w) {
      before_[w] = sum;
      sum += OnesIn(bits_[w]);
    }
  }
  // Positions in [0, end) given (end at most n).
  uint32_t Prefix(size_t end) const {
    uint32_t sum = before_[end / 64];
    if (end % 64 != 0) sum += OnesIn(bits_[end / 64] & ((uint64_t{1} << (end % 64)) - 1));
    return sum;
  }

 private:
  std::vector<uint64_t> bits_;
  std::vector<uint32_t> before_;
};

// The smaller elements of a group in the second part of a list placed in two:
// those of the first part, and those of the second added so far.
struct SecondPartCounts {
  const FixedPositions& first;
  const Fenwick& since;
  uint32_t Prefix(size_t end) const { return first.Prefix(end) + since.Prefix(end); }
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

constexpr size_t kSmallGroup = 48;  // up to this an array of the block and its moved members is cheaper

// The final order of one group: members (original positions, ascending) and
// the smaller elements already in `smaller`, `total` of them.
template <typename Counts>
void PlaceGroup(const uint32_t* members, size_t count, const Counts& smaller, uint32_t total,
                std::vector<uint32_t>& out) {
  if (count == 1) {
    out.push_back(members[0]);
    return;
  }
  // The members are not among the smaller elements, so the count before the
  // position after a member is the count before the member: one count per
  // member gives every gap. Called for k = 0, 1, ... in turn.
  uint32_t before = smaller.Prefix(members[0]);
  if (total == before) {  // nothing smaller after the first: no rotation at all
    out.insert(out.end(), members, members + count);
    return;
  }
  auto gap_after = [&](size_t k) {
    const uint32_t next = k + 1 < count ? smaller.Prefix(members[k + 1]) : total;
    const uint32_t gap = next - before;
    before = next;
    return gap;
  };
  if (count <= kSmallGroup) {
    // The block is block[start, start + size): rotating it left by r copies its
    // first r members after its end and starts it r later (one short copy,
    // where a rotation in place moves every member). A rotation moves fewer
    // members than the block holds, so the room is the members and at most
    // 0 + 1 + ... + (count - 1) members moved.
    uint32_t block[kSmallGroup + kSmallGroup * (kSmallGroup - 1) / 2];
    size_t start = 0;
    size_t size = 0;
    for (size_t k = 0; k < count; ++k) {
      block[start + size++] = members[k];
      const size_t r = gap_after(k) % size;
      if (r != 0) {
        CopyBytes(reinterpret_cast<const char*>(block + start), r * sizeof(uint32_t),
                  reinterpret_cast<char*>(block + start + size));
        start += r;
      }
    }
    out.insert(out.end(), block + start, block + start + size);
    return;
  }
  RotatingSequence block(count);
  for (size_t k = 0; k < count; ++k) {
    block.Append(members[k]);
    block.RotateLeft(gap_after(k));
  }
  block.AppendTo(out);
}

// Where the sort reads its keys: an array of them, or the entries themselves.
// Reading them from the entries keeps the sort's own memory at two indices per
// entry (no copy of the keys); the random reads are fetched ahead.
struct ArrayKeys {
  const int64_t* keys;
  int64_t operator()(size_t i) const { return keys[i]; }
  void Prefetch(size_t) const {}
};

struct EntryKeys {
  const MessageEntry* entries;
  int64_t operator()(size_t i) const { return entries[i].SortKey(); }
  void Prefetch(size_t i) const {
    __builtin_prefetch(&entries[i].message_no);
    __builtin_prefetch(&entries[i].context);
  }
};

// The keys of a list that has an order, by list position.
struct ListKeys {
  const MessageList* list;
  int64_t operator()(size_t i) const { return (*list)[i].SortKey(); }
  void Prefetch(size_t i) const { __builtin_prefetch(&(*list)[i].context); }
};

constexpr size_t kKeysAhead = 16;  // keys read through the order are fetched this far ahead

// Bit p tells that the key at sorted position p equals the one before it.
class SameAsBefore {
 public:
  explicit SameAsBefore(size_t n) : bits_(n / 64 + 1, 0) {}
  void Set(size_t p) { bits_[p / 64] |= uint64_t{1} << (p % 64); }
  bool operator[](size_t p) const { return (bits_[p / 64] >> (p % 64) & 1) != 0; }
  // Marks the positions `other` marks too.
  void Add(const SameAsBefore& other) {
    for (size_t w = 0; w < other.bits_.size(); ++w) bits_[w] |= other.bits_[w];
  }
  bool Any() const {
    for (const uint64_t word : bits_) {
      if (word != 0) return true;
    }
    return false;
  }

 private:
  std::vector<uint64_t> bits_;
};

// Turns counts of digits into the first place of each digit.
void CountsToStarts(std::vector<uint32_t>& counts) {
  uint32_t sum = 0;
  for (uint32_t& c : counts) {
    const uint32_t here = c;
    c = sum;
    sum += here;
  }
}

// Sorts order[begin, begin + m) by the keys' offsets below `low_bits` bits (the
// higher bits are equal), stably, and marks equal keys. Small ranges sort
// (offset, index) pairs; bigger ones take LSD passes of `bits` bits through
// `spare`, with counts of 2^bits digits.
template <typename KeyOf>
class BucketSorter {
 public:
  BucketSorter(const KeyOf& key, uint64_t min, unsigned low_bits, unsigned bits, SameAsBefore& same)
      : key_(key), min_(min), low_bits_(low_bits), bits_(bits), same_(same) {}

  void Sort(uint32_t* order, size_t begin, size_t m) {
    if (m < 2) return;
    if (m <= kSmall) {
      SortSmall(order + begin, begin, m);
    } else {
      SortBig(order + begin, begin, m);
    }
  }

 private:
  static constexpr size_t kSmall = 64;
  struct Pair {
    uint64_t low;
    uint32_t index;
    bool operator<(const Pair& o) const { return low != o.low ? low < o.low : index < o.index; }
  };
  uint64_t Low(uint32_t i) const {
    return (static_cast<uint64_t>(key_(i)) - min_) & ((uint64_t{1} << low_bits_) - 1);  // low_bits_ < 64
  }

  void SortSmall(uint32_t* at, size_t begin, size_t m) {
    Pair* pairs = pairs_.data();
    for (size_t k = 0; k < m; ++k) {
      if (k + kKeysAhead < m) key_.Prefetch(at[k + kKeysAhead]);
      pairs[k] = {Low(at[k]), at[k]};
    }
    std::sort(pairs, pairs + m);
    at[0] = pairs[0].index;
    for (size_t k = 1; k < m; ++k) {
      at[k] = pairs[k].index;
      if (pairs[k].low == pairs[k - 1].low) same_.Set(begin + k);
    }
  }

  void SortBig(uint32_t* at, size_t begin, size_t m) {
    const size_t mask = (size_t{1} << bits_) - 1;
    if (spare_.size() < m) spare_.resize(m);
    count_.resize(mask + 1);
    if (low_bits_ <= bits_) {  // one digit: read each key once, and equal digits are equal keys
      if (digits_.size() < m) digits_.resize(m);
      std::fill(count_.begin(), count_.end(), 0u);
      for (size_t k = 0; k < m; ++k) {
        if (k + kKeysAhead < m) key_.Prefetch(at[k + kKeysAhead]);
        digits_[k] = static_cast<uint32_t>(Low(at[k]));
        ++count_[digits_[k]];
      }
      CountsToStarts(count_);
      first_ = count_;
      for (size_t k = 0; k < m; ++k) {
        const uint32_t d = digits_[k];
        const uint32_t p = count_[d]++;
        spare_[p] = at[k];
        if (p != first_[d]) same_.Set(begin + p);
      }
      std::copy(spare_.begin(), spare_.begin() + static_cast<ptrdiff_t>(m), at);
      return;
    }
    first_.resize(mask + 1);
    last_.resize(mask + 1);
    uint32_t* from = at;
    uint32_t* to = spare_.data();
    for (unsigned shift = 0; shift < low_bits_; shift += bits_) {
      const bool final_pass = shift + bits_ >= low_bits_;
      std::fill(count_.begin(), count_.end(), 0u);
      for (size_t k = 0; k < m; ++k) {
        if (k + kKeysAhead < m) key_.Prefetch(from[k + kKeysAhead]);
        ++count_[(Low(from[k]) >> shift) & mask];
      }
      CountsToStarts(count_);
      if (final_pass) first_ = count_;
      for (size_t k = 0; k < m; ++k) {
        if (k + kKeysAhead < m) key_.Prefetch(from[k + kKeysAhead]);
        const uint32_t i = from[k];
        const uint64_t o = Low(i);
        const size_t d = (o >> shift) & mask;
        const uint32_t p = count_[d]++;
        to[p] = i;
        if (final_pass) {
          if (p != first_[d] && last_[d] == o) same_.Set(begin + p);
          last_[d] = o;
        }
      }
      std::swap(from, to);
    }
    if (from != at) std::copy(from, from + m, at);
  }

  const KeyOf& key_;
  uint64_t min_;
  unsigned low_bits_;
  unsigned bits_;
  SameAsBefore& same_;
  std::vector<Pair> pairs_ = std::vector<Pair>(kSmall);
  std::vector<uint32_t> spare_;   // as big as the biggest range sorted by passes
  std::vector<uint32_t> digits_;  // the same, for a range sorted by one digit
  std::vector<uint32_t> count_;
  std::vector<uint32_t> first_;
  std::vector<uint64_t> last_;
};

// The indices 0..n-1 ordered by key, equal keys by index, and which of them
// have the key of the one before. A radix sort of the keys' offsets from the
// smallest key, in as few digits of at most 13 bits as the range of the keys
// needs (one or two for real lists), the bits shared evenly among them: the
// indices are placed straight into the result by their top digit, then each
// range of one top digit is sorted by the lower digits. The sort's memory is
// the result and a spare array as big as the biggest such range, not a second
// array of n indices.
//
// A long list is sorted in two parts on two threads: each half of the indices
// is scanned and placed by one (the first half's before the second's within a
// digit, so equal keys keep their order), and each sorts about half of the
// ranges, the second marking its equal keys apart until both are done.
template <typename KeyOf>
std::vector<uint32_t> IndicesByKey(const KeyOf& key, size_t n, SameAsBefore& same, size_t in_two_from) {
  std::vector<uint32_t> order(n);
  if (n < 256) {
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
    for (size_t p = 1; p < n; ++p) {
      if (key(order[p]) == key(order[p - 1])) same.Set(p);
    }
    return order;
  }
  const size_t parts = n >= in_two_from ? 2 : 1;
  const size_t half = n / 2;
  // Runs work(part, first index, end index) on each part of the indices.
  auto in_parts = [&](const auto& work) {
    if (parts == 1) {
      work(size_t{0}, size_t{0}, n);
    } else {
      RunBeside([&] { work(size_t{0}, size_t{0}, half); }, [&] { work(size_t{1}, half, n); });
    }
  };
  int64_t lows[2] = {0, 0};
  int64_t highs[2] = {0, 0};
  in_parts([&](size_t part, size_t from, size_t to) {
    int64_t lo = key(from), hi = lo;
    for (size_t i = from + 1; i < to; ++i) {
      const int64_t k = key(i);
      lo = std::min(lo, k);
      hi = std::max(hi, k);
    }
    lows[part] = lo;
    highs[part] = hi;
  });
  const int64_t lo = std::min(lows[0], lows[parts - 1]);
  const auto min = static_cast<uint64_t>(lo);
  const uint64_t range = static_cast<uint64_t>(std::max(highs[0], highs[parts - 1])) - min;
  if (range == 0) {
    std::iota(order.begin(), order.end(), 0u);
    for (size_t p = 1; p < n; ++p) same.Set(p);
    return order;
  }
  constexpr unsigned kMaxBits = 13;
  const auto range_bits = static_cast<unsigned>(64 - __builtin_clzll(range));
  const unsigned passes = (range_bits + kMaxBits - 1) / kMaxBits;
  const unsigned bits = (range_bits + passes - 1) / passes;
  const unsigned low_bits = (passes - 1) * bits;  // the top digit has the rest
  auto top = [&](size_t i) { return static_cast<size_t>((static_cast<uint64_t>(key(i)) - min) >> low_bits); };
  const size_t digits = static_cast<size_t>(range >> low_bits) + 1;
  // Each part's count of every digit, then the place of its next index of that digit.
  std::vector<uint32_t> next[2];
  in_parts([&](size_t part, size_t from, size_t to) {
    std::vector<uint32_t>& count = next[part];
    count.assign(digits, 0);
    for (size_t i = from; i < to; ++i) ++count[top(i)];
  });
  std::vector<uint32_t> start(digits + 1);  // start[d] is digit d's first place
  for (size_t d = 0; d < digits; ++d) {
    const uint32_t first = next[0][d];
    next[0][d] = start[d];
    if (parts == 2) {
      const uint32_t second = next[1][d];
      next[1][d] = start[d] + first;
      start[d + 1] = start[d] + first + second;
    } else {
      start[d + 1] = start[d] + first;
    }
  }
  in_parts([&](size_t part, size_t from, size_t to) {
    std::vector<uint32_t>& place = next[part];
    for (size_t i = from; i < to; ++i) order[place[top(i)]++] = static_cast<uint32_t>(i);
  });
  if (low_bits == 0) {  // a digit is a key
    for (size_t d = 0; d < digits; ++d) {
      for (size_t p = start[d] + 1; p < start[d + 1]; ++p) same.Set(p);
    }
    return order;
  }
  // The digits whose ranges the second part sorts: from the one that holds the middle place.
  const size_t second_from =
      parts == 1 ? digits : static_cast<size_t>(std::upper_bound(start.begin(), start.end(), half) - start.begin()) - 1;
  SameAsBefore second_same(parts == 1 ? 0 : n);
  in_parts([&](size_t part, size_t /*from*/, size_t /*to*/) {
    BucketSorter<KeyOf> sorter(key, min, low_bits, bits, part == 0 ? same : second_same);
    for (size_t d = part == 0 ? 0 : second_from; d < (part == 0 ? second_from : digits); ++d) {
      sorter.Sort(order.data(), start[d], start[d + 1] - start[d]);
    }
  });
  if (parts == 2) same.Add(second_same);
  return order;
}

// Places the groups of equal keys among the sorted positions [from, to), each
// counting the elements of smaller keys in `smaller`; every element is added
// to `added` once its group is placed.
template <typename Counts>
void PlaceGroups(uint32_t* order, size_t from, size_t to, const SameAsBefore& same, Fenwick& added,
                 const Counts& smaller) {
  std::vector<uint32_t> placed;
  for (size_t begin = from; begin < to;) {
    size_t end = begin + 1;
    while (end < to && same[end]) ++end;
    if (end - begin > 1) {
      placed.clear();
      // Every element before the group in the sorted order has a smaller key.
      PlaceGroup(order + begin, end - begin, smaller, static_cast<uint32_t>(begin), placed);
    }
    for (size_t i = begin; i < end; ++i) added.Add(order[i]);
    if (end - begin > 1) std::copy(placed.begin(), placed.end(), order + begin);
    begin = end;
  }
}

// The exchange sort's order of n keys. The result is built in the array that
// holds the indices sorted by key: a group's final order fills exactly the
// range its members came from, so no second array is needed.
template <typename KeyOf>
std::vector<uint32_t> OrderOfKeys(const KeyOf& key, size_t n, size_t in_two_from) {
  SameAsBefore same(n);
  std::vector<uint32_t> order = IndicesByKey(key, n, same, in_two_from);
  if (!same.Any()) return order;  // distinct keys: the plain sorted order
  // A long list is placed in two parts on two threads, split between two
  // groups: the second counts the first part's elements as positions fixed
  // before either starts.
  size_t split = n;
  if (n >= in_two_from) {
    split = n / 2;
    while (split < n && same[split]) ++split;
  }
  Fenwick first_added(n);
  if (split == n) {
    PlaceGroups(order.data(), 0, n, same, first_added, first_added);
    return order;
  }
  const FixedPositions first_part(order.data(), split, n);
  Fenwick second_added(n);
  RunBeside([&] { PlaceGroups(order.data(), 0, split, same, first_added, first_added); },
            [&] {
              PlaceGroups(order.data(), split, n, same, second_added, SecondPartCounts{first_part, second_added});
            });
  return order;
}

}  // namespace

std::vector<uint32_t> ExchangeSortOrder(const std::vector<int64_t>& keys, const SortOptions& options) {
  return OrderOfKeys(ArrayKeys{keys.data()}, keys.size(), options.in_two_from);
}

void SortMessages(MessageList& messages, Progress& progress, const SortOptions& options) {
  const size_t n = messages.Size();
  if (n == 0) return;
  static const std::string label = Sjis("メッセージソート中...");
  progress.SetLabel(label);

  std::vector<uint32_t> order;
  if (messages.Order().empty()) {
    order = OrderOfKeys(EntryKeys{messages.Entries().data()}, n, options.in_two_from);
  } else {
    // Sorted again: the exchange sort starts from the list order.
    order = OrderOfKeys(ListKeys{&messages}, n, options.in_two_from);
    for (uint32_t& stored : order) stored = static_cast<uint32_t>(messages.Stored(stored));
  }
  // The positions the exchange sort reports, one per outer step.
  PercentTracker percent(n);
  for (size_t i = 0; i < n; ++i) progress.Step(percent.Update(i));
  messages.SetOrder(std::move(order));
}

}  // namespace tobrisk
