// Sorting the message list by board and message number
// (key BoardListNo × 100000 + MessageNo).
//
// The order, equal keys included, is exactly the one of the program's exchange
// sort: for each position i, every later position j whose key is smaller than
// the key at i is exchanged with i. That procedure is quadratic; SortMessages
// computes the same permutation in O(n log n). SeqNo, being the position + 1,
// never moves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tobrisk {

class MessageList;
class Progress;

struct SortOptions {
  // A list at least this long is sorted in two parts on two threads.
  size_t in_two_from = size_t{1} << 16;
};

// Sorts the list: gives it its sorted order (MessageList::SetOrder); the
// entries stay where they are stored. Progress: label "メッセージソート中..."
// and, for every position i, the position i / n × 100 rounded (halves to even).
void SortMessages(MessageList& messages, Progress& progress, const SortOptions& options = {});

// The permutation the exchange sort makes of `keys`: result[p] is the original
// index of the element that ends at position p.
std::vector<uint32_t> ExchangeSortOrder(const std::vector<int64_t>& keys, const SortOptions& options = {});

}  // namespace tobrisk
