#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "fakes.h"
#include "core/reading/message_entry.h"
#include "core/reading/message_sort.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

// The exchange sort exactly as the program defines it (quadratic).
std::vector<uint32_t> LiteralOrder(const std::vector<int64_t>& keys) {
  std::vector<int64_t> k = keys;
  std::vector<uint32_t> who(keys.size());
  for (uint32_t i = 0; i < who.size(); ++i) who[i] = i;
  for (size_t i = 0; i < k.size(); ++i) {
    for (size_t j = i + 1; j < k.size(); ++j) {
      if (k[j] < k[i]) {
        std::swap(k[i], k[j]);
        std::swap(who[i], who[j]);
      }
    }
  }
  return who;
}

TEST(ExchangeSortOrder, EqualsTheLiteralProcedureOnRandomListsWithHeavyTies) {
  std::mt19937 rng(20261207);
  for (int round = 0; round < 6000; ++round) {
    const size_t n = rng() % 61;
    const int distinct = 1 + static_cast<int>(rng() % 5);
    std::vector<int64_t> keys(n);
    for (auto& k : keys) k = static_cast<int64_t>(rng() % static_cast<unsigned>(distinct)) * 100000 - 7;
    ASSERT_EQ(ExchangeSortOrder(keys), LiteralOrder(keys)) << "round " << round << " n " << n;
  }
}

TEST(ExchangeSortOrder, EqualsTheLiteralProcedureForBigGroups) {
  // Groups beyond the small-group path, with smaller keys scattered among them.
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    const size_t n = 200 + rng() % 400;
    std::vector<int64_t> keys(n);
    const unsigned smaller_share = 1 + rng() % 6;
    for (auto& k : keys) k = (rng() % 10 < smaller_share) ? static_cast<int64_t>(rng() % 3) : 5;
    ASSERT_EQ(ExchangeSortOrder(keys), LiteralOrder(keys)) << "round " << round;
    ASSERT_EQ(ExchangeSortOrder(keys, {.in_two_from = 256}), LiteralOrder(keys)) << "in two, round " << round;
  }
}

TEST(ExchangeSortOrder, WorkedExamples) {
  // Keys 2, 2 (A then B) and 1 come out as 1, B, A.
  EXPECT_EQ(ExchangeSortOrder({2, 2, 1}), (std::vector<uint32_t>{2, 1, 0}));
  EXPECT_EQ(ExchangeSortOrder({}), std::vector<uint32_t>{});
  EXPECT_EQ(ExchangeSortOrder({3, 1, 2}), (std::vector<uint32_t>{1, 2, 0}));
}

TEST(ExchangeSortOrder, HugeGroupOfEqualKeysStaysFast) {
  // 200,000 equal keys interleaved with smaller ones would take minutes literally.
  std::vector<int64_t> keys;
  for (int i = 0; i < 200000; ++i) {
    keys.push_back(9);
    if (i % 3 == 0) keys.push_back(i % 7);
  }
  const auto order = ExchangeSortOrder(keys);
  ASSERT_EQ(order.size(), keys.size());
  for (size_t p = 1; p < order.size(); ++p) ASSERT_LE(keys[order[p - 1]], keys[order[p]]);
}

MessageEntry Entry(MessageList& list, int32_t seq, int32_t list_no, int32_t message_no,
                   BoardType type = BoardType::BBS) {
  MessageEntry e;
  e.context = list.Context({.board_list_no = list_no, .board_no = list_no, .board_type = type});
  e.message_no = message_no;
  e.writer_id = seq * 10;
  return e;
}

TEST(SortMessages, MailFirstAndProgress) {
  MessageList list;
  list.Append(Entry(list, 1, 3, 5));
  list.Append(Entry(list, 2, -100, -2, BoardType::MAIL));
  list.Append(Entry(list, 3, 1, 7));
  list.Append(Entry(list, 4, -100, -2, BoardType::MAIL));
  list.Append(Entry(list, 5, 3, 5));  // the same message read twice
  testing::FakeProgress progress;
  SortMessages(list, progress);
  std::vector<int32_t> writers;
  for (size_t i = 0; i < list.Size(); ++i) {
    writers.push_back(list[i].writer_id);
  }
  EXPECT_EQ(writers, (std::vector<int32_t>{20, 40, 30, 10, 50}));
  ASSERT_EQ(progress.labels.size(), 1u);
  EXPECT_EQ(progress.labels[0], Sjis("メッセージソート中..."));
  // i / n × 100 for i = 0..4: 0, 20, 40, 60, 80.
  EXPECT_EQ(progress.positions, (std::vector<int>{0, 20, 40, 60, 80}));

  MessageList empty;
  testing::FakeProgress quiet;
  SortMessages(empty, quiet);
  EXPECT_TRUE(quiet.labels.empty());
}

TEST(SortMessages, ProgressRoundsHalvesToEven) {
  MessageList list;
  for (int i = 0; i < 8; ++i) list.Append(Entry(list, i + 1, 1, 8 - i));
  testing::FakeProgress progress;
  SortMessages(list, progress);
  // 1/8 = 12.5 -> 12, 3/8 = 37.5 -> 38, 5/8 = 62.5 -> 62, 7/8 = 87.5 -> 88.
  EXPECT_EQ(progress.positions, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88}));
  for (size_t i = 0; i < list.Size(); ++i) EXPECT_EQ(list[i].message_no, static_cast<int32_t>(i + 1));
}

TEST(SortMessages, BigListsEqualTheLiteralProcedure) {
  // Lists long enough for the radix passes and long permutation cycles: one of
  // board and message numbers as captures give them (key range below 2^32), and
  // one with numbers far apart (the range does not fit 32 bits), both with mails,
  // missing numbers and messages read twice; sorted in one part and in two.
  std::mt19937 rng(1207);
  for (const bool wide : {false, true}) {
    for (const SortOptions options : {SortOptions{}, SortOptions{.in_two_from = 256}}) {
      MessageList list;
      std::vector<int64_t> keys;
      for (int32_t i = 0; i < 3000; ++i) {
        MessageEntry e;
        if (rng() % 10 == 0) {
          e = Entry(list, i + 1, -100, -2, BoardType::MAIL);
        } else {
          const int32_t board =
              wide ? static_cast<int32_t>(rng() % 3) * 1000000000 - 1 : static_cast<int32_t>(rng() % 40);
          const int32_t number = rng() % 50 == 0 ? -1 : static_cast<int32_t>(rng() % 400);
          e = Entry(list, i + 1, board, number);
        }
        e.writer_id = i;  // the original position
        keys.push_back(e.SortKey());
        list.Append(e);
      }
      testing::FakeProgress progress;
      SortMessages(list, progress, options);
      const std::vector<uint32_t> expected = LiteralOrder(keys);
      for (size_t p = 0; p < list.Size(); ++p) {
        ASSERT_EQ(list[p].writer_id, static_cast<int32_t>(expected[p])) << "wide " << wide << " position " << p;
      }
      // A list that has an order is sorted from its list order, not from where its entries are stored.
      std::vector<uint32_t> shuffled(list.Size());
      std::iota(shuffled.begin(), shuffled.end(), 0u);
      std::shuffle(shuffled.begin(), shuffled.end(), rng);
      std::vector<int64_t> shuffled_keys;
      for (const uint32_t stored : shuffled) shuffled_keys.push_back(keys[stored]);
      list.SetOrder(shuffled);
      SortMessages(list, progress, options);
      const std::vector<uint32_t> again = LiteralOrder(shuffled_keys);
      for (size_t p = 0; p < list.Size(); ++p) {
        ASSERT_EQ(list[p].writer_id, static_cast<int32_t>(shuffled[again[p]])) << "wide " << wide << " position " << p;
      }
    }
  }
}

}  // namespace
}  // namespace tobrisk
