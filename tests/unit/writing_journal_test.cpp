#include <gtest/gtest.h>

#include "writing/composition.h"
#include "writing/up_text.h"
#include "writing/write_journal.h"
#include "writing/write_list.h"
#include "writing_test_fixture.h"

namespace tobrisk {
namespace {

// What the next start would find in the journal.
std::optional<WriteJournal> NextStart(const testing::WritingFixture& f) { return LoadWriteJournal(f.state.tmp_dir); }

TEST(WriteJournal, FollowsEveryChangeOfTheWriteListAndRestoresIt) {
  testing::WritingFixture f;
  f.state.nets.Append({"WXYZ", Sjis("べつのネット"), Sjis("じろう"), "UPW"});
  f.state.settings.default_net = 1;
  f.state.users = {{"1", "1234", Sjis("たろう")}};
  f.state.boards = {{"1", "12", "BBS", Sjis("雑談ボード")}};
  // A title with a TAB, a control byte and a "%" stays one field.
  const std::string odd_title = Sjis("題名\tその%0A\x01二");
  f.editor.edit = [&](const std::string& path) { testing::WriteFile(path, odd_title + "\r\nbody\n"); };
  NewMail(f.state, f.ports, f.view, 0);
  ASSERT_EQ(f.state.writes.size(), 1u);
  EXPECT_EQ(NextStart(f)->entries, f.state.writes);
  EXPECT_EQ(NextStart(f)->log_header, "WXYZ");

  f.clock.now.second += 1;
  f.editor.edit = [&](const std::string& path) { testing::WriteFile(path, Sjis("二通目\nbody\n")); };
  NewMessage(f.state, f.ports, f.view, 0);
  DeleteMessage(f.state, f.view, 0);
  ASSERT_EQ(NextStart(f)->entries.size(), 2u);
  EXPECT_EQ(NextStart(f)->entries, f.state.writes);
  EXPECT_TRUE(NextStart(f)->entries[0].IsDeleted());
  f.editor.edit = [&](const std::string& path) { testing::WriteFile(path, Sjis("直した\nbody\n")); };
  EditMessage(f.state, f.ports, f.view, 1, false);
  EXPECT_EQ(NextStart(f)->entries[1].title, Sjis("直した"));
  ReversMessage(f.state, f.view, 0);
  EXPECT_EQ(NextStart(f)->entries, f.state.writes);

  // The next run, in the same folder with the nets in another order: the list,
  // the pending count and the net come back; SerialNo follows the positions.
  WorkState next;
  next.tmp_dir = f.state.tmp_dir;
  next.nets.Append({"WXYZ", "", "", ""});
  next.nets.Append({"ABCD", "", "", ""});
  next.settings.default_net = 1;
  const std::optional<WriteJournal> journal = LoadWriteJournal(next.tmp_dir);
  ASSERT_TRUE(journal);
  EXPECT_EQ(RestoreWriteList(next, *journal), 0);
  EXPECT_EQ(next.writes, f.state.writes);
  EXPECT_EQ(next.pending_count, 2);
  EXPECT_EQ(next.settings.default_net, 0);
  EXPECT_EQ(next.writes[0].title, odd_title);

  // A net that is no longer defined restores nothing.
  WorkState other;
  other.nets.Append({"ABCD", "", "", ""});
  EXPECT_EQ(RestoreWriteList(other, *journal), -1);
  EXPECT_TRUE(other.writes.empty());
  EXPECT_EQ(other.pending_count, 0);

  // A successful up-text output leaves nothing to offer.
  ASSERT_TRUE(OutputUpText(f.state, f.ports, f.view));
  EXPECT_FALSE(NextStart(f));
  EXPECT_FALSE(FileExists(WriteJournalPath(f.state.tmp_dir)));
}

TEST(WriteJournal, JunkIsNoJournalAndBadLinesAreSkipped) {
  EXPECT_FALSE(ParseWriteJournal(""));
  EXPECT_FALSE(ParseWriteJournal(std::string("\x00\xff\x1a junk\r\n", 11)));
  const std::optional<WriteJournal> j = ParseWriteJournal(
      "Tobrisk write list 1\r\nNET\tABCD\r\n"
      "1\tBBS\t12\tname\t0\tt\tNEW\t0305123456.TXT\t0\r\n"
      "short\tline\r\n"
      "2\tBBS\t12\tname\t0\tt\tNEW\t../../etc/passwd\t0\r\n"
      "3\tBBS\t12\tname\t0\t%GG%4\tNEW\t0305123457.TXT\tx\r\n");
  ASSERT_TRUE(j);
  EXPECT_EQ(j->log_header, "ABCD");
  ASSERT_EQ(j->entries.size(), 2u);
  EXPECT_EQ(j->entries[1].title, "%GG%4");
  EXPECT_EQ(j->entries[1].deleted, "0");
}

}  // namespace
}  // namespace tobrisk
