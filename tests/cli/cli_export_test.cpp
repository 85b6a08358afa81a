// tobrisk-cli export, each format read back by a real consumer: Python's
// mailbox and email modules for mbox, headless Chromium for the HTML folder,
// a strict UTF-8 reader for text.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <regex>
#include <set>

#include "capture_generator.h"
#include "cli_runner.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

using testing::CliRunner;

// Runs a shell command line and returns its standard output; exit status in `status`.
std::string Output(const std::string& command, int& status) {
  std::string out;
  std::FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  status = ::pclose(p);
  return out;
}

bool HasProgram(const std::string& name) {
  int status = 0;
  return !Output("command -v " + name + " 2>/dev/null", status).empty();
}

class CliExport : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteFile(cli_.WorkDir() + "NET.TDT", "ABCD\t" + Sjis("テスト網") + "\tme\tUP\r\n");
    testing::WriteFile(cli_.WorkDir() + "ABCD.RAD",
                       "BBS\t1\t101\t" + Sjis("○") + "\r\nBBS\t1\t102\t" + Sjis("●") + "\r\n");
    testing::WriteFile(log_, HardCapture());
    // Captured on 2027-01-05: December messages belong to 2026.
    struct tm t {};
    t.tm_year = 127;
    t.tm_mon = 0;
    t.tm_mday = 5;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    const utimbuf times{std::mktime(&t), std::mktime(&t)};
    ::utime(log_.c_str(), &times);
  }

  // Mails (one without a title), a board with a reply chain, body lines that
  // look like mbox separators, markup characters, a message read twice and a
  // byte that is no Shift-JIS character.
  static std::string HardCapture() {
    std::string s;
    auto line = [&](const std::string& l) { s += l + "\r\n"; };
    line(testing::MainMenuLine());
    line(testing::MailScreenLine());
    line(testing::MailHeader(Sjis("件名"), 456, Sjis("はなこ"), "12/05"));
    line("-----");
    line("From the host");
    line(testing::MailSendLine());
    line(testing::MailScreenLine());
    line(testing::MailHeader("", 457, "ken", "01/04"));
    line("-----");
    line(Sjis("本文"));
    line(testing::MailSendLine());
    line(testing::BbsHeader(1, Sjis("雑談")));
    line(testing::NewHeader(101, Sjis("最初の話題"), 7, "MIKE", "12/30"));
    line("From here");
    line(">From there");
    line("a < b & c > d \"q\"");
    line(testing::ResHeaderLine(102, 101));
    line(testing::ResFieldsLine("Re:<b>&amp;", 8, Sjis("ジョー"), "01/02"));
    line(Sjis("返事") + "\x81");
    line(testing::ResHeaderLine(103, 102));
    line(testing::ResFieldsLine("Re:Re", 9, "ann", "01/03"));
    line("deep");
    line(testing::BbsHeader(1, Sjis("雑談")));
    line(testing::NewHeader(101, Sjis("最初の話題"), 7, "MIKE", "12/30"));
    line("again");
    return s;
  }

  CliRunner cli_;
  // Named in Shift-JIS, as a capture copied from a Windows machine is.
  std::string log_ = cli_.WorkDir() + "ABCD" + Sjis("正月") + ".LOG";
};

constexpr const char* kReadMbox = R"PY(
import email, email.policy, mailbox, sys
box = mailbox.mbox(sys.argv[1], factory=lambda f: email.message_from_binary_file(f, policy=email.policy.default),
                   create=False)
ids = set()
for m in box:
    sender = m['from'].addresses[0]
    body = m.get_content()
    ids.add(m['message-id'])
    print('|'.join([m['subject'], sender.display_name, sender.addr_spec, m['date'].datetime.isoformat(),
                    m['message-id'], m.get('in-reply-to', '-'), m.get('references', '-'), m['x-tobrisk-board'],
                    m['x-tobrisk-mark'], m.get_content_type(), m.get_content_charset(), repr(body)]))
for m in box:
    if m.get('in-reply-to') and m['in-reply-to'] not in ids:
        print('dangling', m['in-reply-to'])
)PY";

TEST_F(CliExport, MboxIsReadBackByPythonsMailboxWithSubjectsAuthorsDatesAndThreads) {
  const std::string out = cli_.WorkDir() + "out.mbox";
  const auto r = cli_.Run({"export", "--format", "mbox", "--out", out, log_});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  testing::WriteFile(cli_.WorkDir() + "read.py", kReadMbox);
  int status = -1;
  const std::string read = Output("python3 " + cli_.WorkDir() + "read.py " + out, status);
  ASSERT_EQ(status, 0) << read;
  const std::string d = "@abcd.tobrisk.invalid";
  EXPECT_EQ(read, "件名|はなこ|w456" + d + "|2026-12-05T00:00:00+09:00|<mail.1" + d +
                      ">|-|-|MAIL -100 新着メール|unread|"
                      "text/plain|utf-8|'>From the host\\n'\n"
                      "|ken|w457" +
                      d + "|2027-01-04T00:00:00+09:00|<mail.2" + d +
                      ">|-|-|MAIL -100 新着メール|unread|"
                      "text/plain|utf-8|'本文\\n'\n"
                      "最初の話題|MIKE|w7" +
                      d + "|2026-12-30T00:00:00+09:00|<bbs1.101" + d +
                      ">|-|-|BBS 1 雑談|read|"
                      "text/plain|utf-8|'>From here\\n>>From there\\na < b & c > d \"q\"\\n'\n"
                      "最初の話題|MIKE|w7" +
                      d + "|2026-12-30T00:00:00+09:00|<bbs1.101.2" + d +
                      ">|-|-|BBS 1 雑談|read|"
                      "text/plain|utf-8|'again\\n'\n"
                      "Re:<b>&amp;|ジョー|w8" +
                      d + "|2027-01-02T00:00:00+09:00|<bbs1.102" + d + ">|<bbs1.101" + d + ">|<bbs1.101" + d +
                      ">|BBS 1 雑談|replied|text/plain|utf-8|'返事\xEF\xBF\xBD\\n'\n"
                      "Re:Re|ann|w9" +
                      d + "|2027-01-03T00:00:00+09:00|<bbs1.103" + d + ">|<bbs1.102" + d + ">|<bbs1.102" + d +
                      ">|BBS 1 雑談|unread|text/plain|utf-8|'deep\\n'\n");
  // The same logs give the same file; --year fixes every year.
  const std::string first = ReadWholeFile(out);
  EXPECT_EQ(cli_.Run({"export", "--format", "mbox", "--out", out, "--force", log_}).exit_code, 0);
  EXPECT_EQ(ReadWholeFile(out), first);
  EXPECT_EQ(cli_.Run({"export", "--format", "mbox", "--out", out, "--force", "--year", "1996", log_}).exit_code, 0);
  EXPECT_NE(ReadWholeFile(out).find("Date: Thu, 05 Dec 1996 00:00:00 +0900"), std::string::npos);
}

TEST_F(CliExport, TextIsUtf8WithLfAndOneHeaderLinePerMessage) {
  const std::string out = cli_.WorkDir() + "out.txt";
  const auto r = cli_.Run({"export", "--format", "text", "--out", out, log_});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  // A strict UTF-8 reader that refuses CR.
  int status = -1;
  const std::string read = Output(
      "python3 -c \"import sys; t = open(sys.argv[1], encoding='utf-8', errors='strict', newline='').read(); "
      "assert '\\r' not in t; print(sum(l.startswith('\\u25a0 ') for l in t.split('\\n')))\" " +
          out,
      status);
  ASSERT_EQ(status, 0) << read;
  EXPECT_EQ(read, "6\n");
  const std::string mails = "■ MAIL 【はなこ】 2026/12/05 件名\nFrom the host\n\n■ MAIL 【ken】 2027/01/04 \n本文\n\n";
  EXPECT_EQ(ReadWholeFile(out).substr(0, mails.size()), mails);
  EXPECT_NE(ReadWholeFile(out).find("■ BBS1:雑談 #Fc.00102 【ジョー】 2027/01/02 Re:<b>&amp;\n返事\xEF\xBF\xBD\n\n"),
            std::string::npos);
  // "-" streams the same text to standard output; the pages need a folder.
  const auto piped = cli_.Run({"export", "--format", "text", "--out", "-", log_});
  EXPECT_EQ(piped.exit_code, 0) << piped.err;
  EXPECT_EQ(piped.out, ReadWholeFile(out));
  EXPECT_EQ(cli_.Run({"export", "--format", "html", "--out", "-", log_}).exit_code, 2);
}

// Links of a page, as the browser sees them after parsing.
std::set<std::string> Links(const std::string& dom) {
  std::set<std::string> links;
  static const std::regex href("href=\"([^\"]*)\"");
  for (auto it = std::sregex_iterator(dom.begin(), dom.end(), href); it != std::sregex_iterator(); ++it) {
    links.insert((*it)[1]);
  }
  return links;
}

TEST_F(CliExport, HtmlFolderRendersInChromiumWithWorkingLinksAndEscapedTexts) {
  if (!HasProgram("chromium")) GTEST_SKIP() << "chromium is not installed (scripts/setup.sh installs it)";
  const std::string out = cli_.WorkDir() + "site";
  const auto r = cli_.Run({"export", "--format", "html", "--out", out, log_});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  auto render = [&](const std::string& page) {
    int status = -1;
    const std::string dom = Output("chromium --headless --no-sandbox --disable-gpu --user-data-dir=" + cli_.WorkDir() +
                                       "chromium --dump-dom file://" + out + "/" + page + " 2>/dev/null",
                                   status);
    EXPECT_EQ(status, 0) << page;
    return dom;
  };
  const std::string index = render("index.html");
  EXPECT_NE(index.find("テスト網"), std::string::npos);
  EXPECT_NE(index.find("ABCD正月.LOG"), std::string::npos) << index;
  EXPECT_NE(index.find("BBS1:雑談</a></td><td class=\"n\">4</td><td>2027/01/03</td>"), std::string::npos) << index;
  EXPECT_NE(index.find("新着メール</a></td><td class=\"n\">2</td><td>2027/01/04</td>"), std::string::npos) << index;
  const std::string board = render("b1.html");
  // The reply chain as nested lists, the marks, unread standing out, markup as text.
  EXPECT_NE(board.find("<span class=\"mk\">○</span>#Fc.00101"), std::string::npos) << board;
  EXPECT_NE(board.find("<ul>\n<li id=\"n5\"><a href=\"b1-t1.html#m5\"><span class=\"mk\">●</span>#Fc.00102【ジョー】"
                       "Re:&lt;b&gt;&amp;amp;</a> <span class=\"d\">01/02</span>\n<ul>\n<li id=\"n6\" class=\"u\">"),
            std::string::npos)
      << board;
  EXPECT_NE(board.find("<span class=\"new\">未読</span>#Fc.00103"), std::string::npos);
  // Every link of both pages leads to a page of the folder and to an element on it.
  std::set<std::string> links = Links(index);
  for (const std::string& l : Links(board)) links.insert(l);
  ASSERT_GE(links.size(), 5u);
  for (const std::string& link : links) {
    const size_t hash = link.find('#');
    const std::string file = link.substr(0, hash);
    ASSERT_TRUE(FileExists(out + "/" + file)) << link;
    if (hash != std::string::npos) {
      EXPECT_NE(ReadWholeFile(out + "/" + file).find("id=\"" + link.substr(hash + 1) + "\""), std::string::npos)
          << link;
    }
  }
  const std::string texts = render("b1-t1.html");
  EXPECT_NE(texts.find("<pre>From here\n&gt;From there\na &lt; b &amp; c &gt; d \"q\"\n</pre>"), std::string::npos)
      << texts;
  EXPECT_EQ(texts.find("<script"), std::string::npos);
}

// The escape-free text is kept in a nameless temporary file: nothing is left
// in TMPDIR nor written into the work folder, and a temporary file that cannot
// be made or written fails the command with a clear message.
TEST_F(CliExport, TemporaryTextLeavesNothingBehindAndItsFailureIsReported) {
  const std::string tmp = cli_.WorkDir() + "tmpdir";
  std::filesystem::create_directory(tmp);
  const std::string out = cli_.WorkDir() + "out.txt";
  auto r = cli_.Run({"export", "--format", "text", "--out", out, log_}, {"TMPDIR=" + tmp});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  r = cli_.Run({"show", "--seq", "1", log_}, {"TMPDIR=" + tmp});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "From the host\n");
  EXPECT_TRUE(std::filesystem::is_empty(tmp));
  EXPECT_FALSE(FileExists(cli_.WorkDir() + "NOESC.LOG"));
  r = cli_.Run({"export", "--format", "text", "--out", out, "--force", log_}, {"TMPDIR=" + tmp + "/missing"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("Cannot create a temporary file in \"" + tmp + "/missing\""), std::string::npos) << r.err;
}

TEST_F(CliExport, OutputIsKeptWithoutForceAndUsageErrorsExitTwo) {
  const std::string out = cli_.WorkDir() + "keep.mbox";
  testing::WriteFile(out, "mine");
  auto r = cli_.Run({"export", "--format", "mbox", "--out", out, log_});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find("既に有ります"), std::string::npos) << r.err;
  EXPECT_EQ(ReadWholeFile(out), "mine");
  // A folder that is not an earlier export is never replaced, even with --force.
  std::filesystem::create_directory(cli_.WorkDir() + "docs");
  testing::WriteFile(cli_.WorkDir() + "docs/letter.txt", "keep");
  r = cli_.Run({"export", "--format", "html", "--out", cli_.WorkDir() + "docs", "--force", log_});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(ReadWholeFile(cli_.WorkDir() + "docs/letter.txt"), "keep");
  // An output that cannot be written: exit 1, nothing left beside it.
  r = cli_.Run({"export", "--format", "text", "--out", cli_.WorkDir() + "missing/dir/out.txt", log_});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_FALSE(std::filesystem::exists(cli_.WorkDir() + "missing"));
  // Never over a log being read, even with --force.
  const std::string capture = ReadWholeFile(log_);
  EXPECT_EQ(cli_.Run({"export", "--format", "text", "--out", log_, "--force", log_}).exit_code, 1);
  EXPECT_EQ(ReadWholeFile(log_), capture);
  EXPECT_EQ(cli_.Run({"export", "--format", "pdf", "--out", out, log_}).exit_code, 2);
  EXPECT_EQ(cli_.Run({"export", "--format", "mbox", log_}).exit_code, 2);
  EXPECT_EQ(cli_.Run({"export", "--format", "mbox", "--out", out, "--year", "96", log_}).exit_code, 2);
  // Logs of two nets are refused as by list.
  testing::WriteFile(cli_.WorkDir() + "WXYZ0101.LOG", HardCapture());
  r = cli_.Run(
      {"export", "--format", "text", "--out", cli_.WorkDir() + "two.txt", log_, cli_.WorkDir() + "WXYZ0101.LOG"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_FALSE(FileExists(cli_.WorkDir() + "two.txt"));
}

}  // namespace
}  // namespace tobrisk
