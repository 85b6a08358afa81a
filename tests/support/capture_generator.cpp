#include "capture_generator.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <vector>

#include "core/text/sjis.h"

namespace tobrisk::testing {

std::string PadRight(std::string_view text, size_t width) {
  std::string s(text.substr(0, width));
  s.resize(width, ' ');
  return s;
}

namespace {

std::string Num(int value, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%*d", width, value);
  return buf;
}

const std::string& S(const char* utf8) {
  // The generator's fixed Japanese pieces, converted once.
  static thread_local std::deque<std::pair<const char*, std::string>> cache;  // references stay valid
  for (auto& [k, v] : cache) {
    if (k == utf8) return v;
  }
  cache.emplace_back(utf8, Sjis(utf8));
  return cache.back().second;
}

}  // namespace

std::string MainMenuLine() { return S("[ Ｍain Ｍenu ]  ＮＯＲＵ ホスト"); }

std::string BbsHeader(int list_no, std::string_view name) {
  return S("● [ BBS") + " " + Num(list_no, 3) + " ]" + S("【") + std::string(name) + S("】");
}

std::string IbbsAmongBbsHeader(int list_no, int ibbs_no, std::string_view name) {
  // "(" lands in byte 11 for one-digit list numbers and in byte 11 for two digits too.
  std::string num = list_no < 10 ? " " + std::to_string(list_no) : std::to_string(list_no);
  return S("● [ BBS") + num.substr(0, 2) + "(IBBS " + std::to_string(ibbs_no) + ") ]" + S("【") + std::string(name) +
         S("】");
}

std::string CugHeader(int no, std::string_view name) {
  return S("● [ CUG") + " " + Num(no, 3) + " ]" + S("【") + std::string(name) + S("】");
}

std::string IbbsHeader(int no, std::string_view name) {
  return S("● [ IBBS") + " " + Num(no, 3) + " ]" + S("【") + std::string(name) + S("】");
}

std::string FswLine() { return S("● [ FSW ]  フリーソフトウェア"); }
std::string MailScreenLine() { return S("[ Ｍail ( 受信 ) ]"); }
std::string MailSendLine() { return S("[ Ｍail ( 送信 ) ]"); }

// Columns: "#Fc." 1-4, number 5-9, blank 10, 11-14 blank (NEW) or "res:" (RES),
// title 15-46, blank 47, writer 48-51, blank 52, handle 53-68, blank 69, date 70-74.
std::string NewHeader(int message_no, std::string_view title, int writer_id, std::string_view handle,
                      std::string_view date) {
  return "#Fc." + Num(message_no, 5) + "     " + PadRight(title, 32) + " " + Num(writer_id, 4) + " " +
         PadRight(handle, 16) + " " + PadRight(date, 5);
}

std::string ResHeaderLine(int message_no, int res_to_no) {
  // ResToNo is read from column 52.
  return "#Fc." + Num(message_no, 5) + " res:" + PadRight(" ", 37) + Num(res_to_no, 5);
}

std::string ResFieldsLine(std::string_view title, int writer_id, std::string_view handle, std::string_view date) {
  return PadRight("", 14) + PadRight(title, 32) + " " + Num(writer_id, 4) + " " + PadRight(handle, 16) + " " +
         PadRight(date, 5);
}

// Columns: "○→[受信]" 3-12, blank 13, title 14-45, blank 46, writer 47-50,
// blank 51, handle 52-67, blank 68, date 69-73.
std::string MailHeader(std::string_view title, int writer_id, std::string_view handle, std::string_view date) {
  return " 1" + S("○→[受信]") + " " + PadRight(title, 32) + " " + Num(writer_id, 4) + " " + PadRight(handle, 16) + " " +
         PadRight(date, 5);
}

CaptureOptions BenchCaptureOptions(double megabytes, uint32_t seed) {
  CaptureOptions o;
  o.seed = seed;
  o.boards = 40;
  o.messages_per_board = 60;
  o.mails = 70;
  o.reread_share = 0.1;
  o.body_lines = 11;
  o.missing_share = 0.001;
  o.mail_receipts = true;
  o.target_bytes = static_cast<size_t>(megabytes * 1024 * 1024);
  return o;
}

CaptureOptions ShortMessageCaptureOptions(double megabytes, uint32_t seed) {
  CaptureOptions o;
  o.seed = seed;
  o.boards = 40;
  o.messages_per_board = 60;
  o.mails = 215;         // 7% of about 2,860 messages per session
  o.reply_share = 0.43;  // 40% of all messages
  o.reread_share = 0.1;
  o.body_lines = 3;
  o.body_words = 4;
  o.escape_share = 0.02;
  o.missing_share = 0.001;
  o.mail_receipts = true;
  o.target_bytes = static_cast<size_t>(megabytes * 1024 * 1024);
  return o;
}

bool CaptureOptionsForShape(std::string_view shape, double megabytes, uint32_t seed, CaptureOptions& options) {
  if (shape.empty() || shape == "long") {
    options = BenchCaptureOptions(megabytes, seed);
  } else if (shape == "short") {
    options = ShortMessageCaptureOptions(megabytes, seed);
  } else {
    return false;
  }
  return true;
}

std::string GenerateCapture(const CaptureOptions& o) {
  std::mt19937 rng(o.seed);
  auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(rng) < p; };
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };

  static const std::vector<std::string> words = {
      Sjis("こんにちは"), Sjis("パソコン通信"),   Sjis("質問"), Sjis("お知らせ"),   Sjis("ゲーム"),
      Sjis("音楽"),       Sjis("プログラミング"), Sjis("雑談"), Sjis("ありがとう"), Sjis("ﾃｽﾄ")};
  static const std::vector<std::string> handles = {Sjis("たろう"), Sjis("はなこ"), Sjis("じろう"),
                                                   "MIKE",         Sjis("ねこ"),   Sjis("ｹﾝｼﾞ")};
  static const std::vector<std::string> boards = {Sjis("雑談ボード"), Sjis("質問コーナー"), Sjis("ゲーム"),
                                                  Sjis("音楽の部屋"), Sjis("プログラム"),   Sjis("お知らせ"),
                                                  Sjis("旅行"),       Sjis("映画")};
  const std::string esc_colour = "\x1b[1;33m";
  const std::string esc_reset = "\x1b[0m";
  const std::string esc_clear = "\x1b[2J";

  std::string out;
  size_t lines = 0;
  auto line = [&](const std::string& text) {
    std::string t = text;
    if (o.escapes && chance(o.escape_share)) t = esc_colour + t + esc_reset;
    if (o.escapes && chance(0.02)) t += "x\x08";
    out += t;
    ++lines;
    if (o.odd_line_ends && chance(0.05)) {
      out += "\r";
    } else {
      out += "\r\n";
    }
  };
  auto title = [&]() {
    std::string t = words[pick(words.size())] + words[pick(words.size())];
    return t.substr(0, 30);
  };
  auto body = [&]() {
    for (size_t i = 0; i < o.body_lines; ++i) {
      std::string b = words[pick(words.size())] + " " + words[pick(words.size())];
      for (size_t w = 2; w < o.body_words; ++w) b += " " + words[pick(words.size())];
      if (o.odd_line_ends && chance(0.03)) b += "\n" + words[pick(words.size())];
      line(b);
    }
    line("");
  };
  auto date = [&]() { return Num(1 + static_cast<int>(pick(12)), 2) + "/" + std::to_string(10 + pick(18)); };

  int next_no = 1;
  size_t session = 0;
  do {
    ++session;
    if (o.escapes) line(esc_clear + esc_colour);
    line(MainMenuLine());
    // Mail box.
    if (o.mails > 0) {
      line(MailScreenLine());
      for (size_t m = 0; m < o.mails; ++m) {
        const std::string h = handles[pick(handles.size())];
        if (chance(0.1)) line(MailHeader(title(), 100 + static_cast<int>(pick(900)), h, date()));  // doubled
        line(MailHeader(title(), 100 + static_cast<int>(pick(900)), h, date()));
        line("-----");
        body();
        if (o.mail_receipts)
          line(S(m + 1 < o.mails ? "● 受け取りました。 次のメールを読みます。" : "● 受け取りました。"));
      }
      line(MailSendLine());
      line(MainMenuLine());
    }
    std::vector<size_t> visits;
    for (size_t b = 0; b < o.boards; ++b) visits.push_back(b);
    for (size_t b = 0; b < o.boards; ++b) {
      if (chance(o.reread_share)) visits.push_back(b);
    }
    for (size_t v : visits) {
      const int list_no = static_cast<int>(v) + 1;
      const std::string& name = boards[v % boards.size()];
      switch (v % 4) {
        case 0: line(BbsHeader(list_no, name)); break;
        case 1: line(CugHeader(list_no, name)); break;
        case 2: line(IbbsHeader(list_no, name)); break;
        default: line(IbbsAmongBbsHeader(list_no, 30 + static_cast<int>(v), name)); break;
      }
      int base = static_cast<int>(session - 1) * static_cast<int>(o.messages_per_board) + 1;
      for (size_t k = 0; k < o.messages_per_board; ++k) {
        const int no = base + static_cast<int>(k);
        const std::string h = handles[pick(handles.size())];
        const int writer = 100 + static_cast<int>(pick(900));
        // A header whose number the host did not show: blanks in its columns.
        const bool missing = o.missing_share > 0 && chance(o.missing_share);
        const bool missing_writer = missing && chance(0.5);
        auto blank = [](std::string l, size_t column, size_t count) {
          for (size_t c = column; c < column + count && c <= l.size(); ++c) l[c - 1] = ' ';
          return l;
        };
        if (k > 0 && chance(o.reply_share)) {
          const std::string header = ResHeaderLine(no, base + static_cast<int>(pick(k)));
          line(missing && !missing_writer ? blank(header, 5, 5) : header);
          const std::string fields = ResFieldsLine("Re:" + title(), writer, h, date());
          line(missing_writer ? blank(fields, 48, 4) : fields);
        } else {
          const std::string header = NewHeader(no, title(), writer, h, date());
          line(missing ? blank(header, missing_writer ? 48 : 5, missing_writer ? 4 : 5) : header);
        }
        body();
      }
      ++next_no;
      if (chance(0.1)) {
        line(FswLine());
        line(NewHeader(9999, title(), 1, "FSW", "01/01"));  // ignored: outside a board
      }
    }
    line(MainMenuLine());
  } while (o.target_bytes > 0 && out.size() < o.target_bytes);
  if (o.ctrl_z) out += "\x1a" + S("ここは無視される") + "\r\n";
  (void)lines;
  return out;
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("cannot create " + path);
  const size_t n = std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
  if (n != bytes.size()) throw std::runtime_error("cannot write " + path);
}

std::string MakeTempDir(std::string_view prefix) {
  std::string templ = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
  if (::mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  return templ;
}

void RemoveTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

FileSizeLimit::FileSizeLimit(uint64_t bytes) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("getrlimit failed");
  saved_current_ = limit.rlim_cur;
  saved_handler_ = std::signal(SIGXFSZ, SIG_IGN);
  limit.rlim_cur = bytes;
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("setrlimit failed");
}

FileSizeLimit::~FileSizeLimit() {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = saved_current_;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, saved_handler_);
}

}  // namespace tobrisk::testing
