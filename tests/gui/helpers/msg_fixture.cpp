#include "msg_fixture.h"

#include "capture_generator.h"
#include "core/reading/escape_filter.h"
#include "core/reading/message_tree.h"
#include "core/reading/open_logs.h"
#include "gui/reading/TfrmLogMessage.h"
#include "core/settings/app_settings.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk::testing {

std::string S(std::string_view utf8) { return Utf8ToSjis(utf8); }

MsgFixture::MsgFixture() : dir(MakeTempDir("tobrisk-msgwin")) {
  ports.prompter = &prompter;
  ports.progress = &progress;
  ports.clock = &clock;
  ports.store = &store;
  state.settings = DefaultSettings();
  state.work_dir = TrailingSeparator(dir);
  state.tmp_dir = TrailingSeparator(state.work_dir + "tmp");
}

MsgFixture::~MsgFixture() { RemoveTree(dir); }

void MsgFixture::Load(std::string_view capture) {
  const std::string log = state.work_dir + "ABCD0101.LOG";
  WriteFile(log, capture);
  state.messages.Clear();
  state.message_tree.Clear();
  CutEscapes({log}, state.WorkFile("NOESC.LOG"), progress);
  state.current_log_header = "ABCD";
  ReadMessages(state, progress);
  state.message_tree = BuildMessageTree(state.messages);
}

void MsgFixture::Show(gui::TfrmLogMessage& window, int open_page) {
  window.FillMessageGrid();
  window.FillMessageTree();
  window.SetCounters(static_cast<int64_t>(state.messages.Size()), 0);
  window.ClearMessageText();
  window.ShowOpenPage(open_page);
}

std::string SmallCapture() {
  std::string out;
  auto line = [&](const std::string& text) { out += text + "\r\n"; };
  line(MainMenuLine());
  line(MailScreenLine());
  line(MailHeader(S("お元気ですか"), 201, S("はなこ"), "03/01"));
  line("-----");
  line(S("メールの本文です。"));
  line(MailHeader(S("Re:連絡"), 202, S("ねこ"), "03/02"));
  line("-----");
  line(S("メール二通目"));
  line(MailSendLine());
  line(MainMenuLine());
  line(BbsHeader(1, S("雑談")));
  line(NewHeader(1, S("最初の話題"), 101, S("たろう"), "03/05"));
  line(S("一行目"));
  line("");
  line(S("● 強調の行"));
  line(S("三行目"));
  line(ResHeaderLine(2, 1));
  line(ResFieldsLine(S("Re:最初の話題"), 102, S("はなこ"), "03/06"));
  line(S("返事です"));
  line(ResHeaderLine(3, 2));
  line(ResFieldsLine(S("Re:Re:最初"), 103, S("じろう"), "03/07"));
  line(S("返事の返事"));
  line(NewHeader(4, S("二つ目"), 104, "MIKE", "03/08"));
  line(S("二つ目の本文"));
  line(BbsHeader(2, S("質問")));
  line(NewHeader(10, S("質問です"), 105, S("ねこ"), "03/09"));
  line(S("教えてください"));
  line("Hello World");
  line(ResHeaderLine(11, 99));
  line(ResFieldsLine(S("Re:不明"), 106, S("ｹﾝｼﾞ"), "03/10"));
  line(S("親がない返事"));
  std::string missing = NewHeader(12, S("番号なし"), 101, S("たろう"), "03/11");
  for (size_t c = 5; c < 10; ++c) missing[c - 1] = ' ';
  line(missing);
  line(S("最後の本文"));
  out += S("おわり");  // no line end at the end of the file
  return out;
}

}  // namespace tobrisk::testing
