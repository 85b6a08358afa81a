// A work folder with an opened capture for the message window's tests: the
// capture is cut into NOESC.LOG, parsed, marked, sorted and turned into the
// tree by the core, as the open pipeline does; the window is then filled.
#pragma once

#include <string>
#include <string_view>

#include "fakes.h"
#include "core/reading/work_state.h"
#include "core/ports/ports.h"

namespace tobrisk::gui {
class TfrmLogMessage;
}

namespace tobrisk::testing {

class MsgFixture {
 public:
  MsgFixture();
  ~MsgFixture();
  MsgFixture(const MsgFixture&) = delete;
  MsgFixture& operator=(const MsgFixture&) = delete;

  // Writes `capture` as a log of the net ABCD, removes its escapes into
  // NOESC.LOG and reads it into the message list and tree.
  void Load(std::string_view capture);
  // Fills the window as a log open does: grid, tree, counters, text view, page.
  void Show(gui::TfrmLogMessage& window, int open_page = 0);

  std::string dir;  // the work folder (no trailing separator)
  FakePrompter prompter;
  FakeProgress progress;
  FixedClock clock;
  MemoryStore store;
  Ports ports;
  WorkState state;
};

// Shift-JIS of a UTF-8 text (shorthand for the tests).
std::string S(std::string_view utf8);

// A small capture with exactly known contents, in list order after the sort:
//  0 mail "【はなこ】お元気ですか" (writer 201)   body "メールの本文です。"
//  1 mail "【ねこ】Re:連絡" (writer 202)          body "メール二通目"
//  board BBS 1 "雑談":
//  2 #Fc.00001 NEW "最初の話題" たろう 03/05   body "一行目" / "" / "● 強調の行" / "三行目"
//  3 #Fc.00002 RES to 1 "Re:最初の話題" はなこ
//  4 #Fc.00003 RES to 2 "Re:Re:最初" じろう
//  5 #Fc.00004 NEW "二つ目" MIKE              (the last message of its board)
//  board BBS 2 "質問":
//  6 #Fc.(blank) NEW "番号なし" たろう           (message number missing: prefix "[★F]";
//                                                  sorts first, its body ends the capture:
//                                                  "最後の本文" / "おわり" without line end)
//  7 #Fc.00010 NEW "質問です" ねこ            body "教えてください" / "Hello World"
//  8 #Fc.00011 RES to 99 "Re:不明" ｹﾝｼﾞ          (parent not in the log)
std::string SmallCapture();

}  // namespace tobrisk::testing
