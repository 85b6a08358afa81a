// A folder of HTML pages that works offline from index.html: no script, nothing
// fetched. index.html lists the boards and the mails; each board has tree pages
// (the reply tree as nested lists, cut between threads, or within a thread too
// big for one, so that no page grows too big to open quickly) and text pages of
// a few hundred texts each.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "core/export/export_writers.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk::export_detail {
namespace {

constexpr size_t kTextsPerPage = 200;
constexpr size_t kTextPageBytes = size_t{384} * 1024;  // a page ends after the text that passes this
constexpr size_t kTreeEntriesPerPage = 2000;
// Lists nest at most this deep on a tree page. A long reply chain nested all the
// way would push its entries off the right of the screen (on a phone after a
// dozen levels), and browsers stop nesting elements a few hundred levels down,
// which breaks the page's structure: deeper replies go on in the deepest list,
// each with the number of the message it answers.
constexpr size_t kTreeNestingLimit = 16;

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:0 auto;max-width:62em;padding:.5em;line-height:1.5;color:#222}"
    "pre,.tree,.fixed{font-family:\"MS Gothic\",\"\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83"
    "\xE3\x82\xAF\",Osaka-Mono,\"Noto Sans Mono CJK JP\",\"Source Han Code JP\",IPAGothic,TakaoGothic,"
    "\"VL Gothic\",monospace}"
    "pre{white-space:pre-wrap;overflow-wrap:anywhere;background:#f7f7f2;border:1px solid #ddd;padding:.5em}"
    "ul.tree,ul.tree ul{list-style:none;padding-left:1.1em;margin:0}ul.tree{padding-left:0}"
    "@media(max-width:40em){ul.tree ul{padding-left:.6em}}.up{color:#666}"
    "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:.2em .5em}td.n{text-align:right}"
    ".mk{display:inline-block;min-width:1.2em}.u>a,.u h2{font-weight:bold;color:#a00000}"
    ".new{background:#a00000;color:#fff;font-size:.75em;padding:0 .3em;border-radius:.3em;margin-right:.2em}"
    "article{margin:1.2em 0}h2{font-size:1.05em;margin:.2em 0}.meta,.d{color:#666;font-size:.9em}"
    "nav{margin:.5em 0}";

bool IsSpecial(char c) { return c == '&' || c == '<' || c == '>' || c == '"' || c == '\''; }

// Where the next byte HTML gives a meaning to stands, from `i` on; the size
// when there is none. Texts mostly hold none: 16 bytes are looked at at once.
size_t NextSpecial(std::string_view text, size_t i) {
#if defined(__SSE2__)
  const __m128i amp = _mm_set1_epi8('&');
  const __m128i lt = _mm_set1_epi8('<');
  const __m128i gt = _mm_set1_epi8('>');
  const __m128i quot = _mm_set1_epi8('"');
  const __m128i apos = _mm_set1_epi8('\'');
  for (; i + 16 <= text.size(); i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(v, amp), _mm_cmpeq_epi8(v, lt)),
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, gt), _mm_cmpeq_epi8(v, quot)), _mm_cmpeq_epi8(v, apos)));
    const int mask = _mm_movemask_epi8(hit);
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  while (i < text.size() && !IsSpecial(text[i])) ++i;
  return i;
}

void Escape(std::string_view utf8, ByteBuilder& out) {
  size_t from = 0;
  for (size_t i = NextSpecial(utf8, 0); i < utf8.size(); i = NextSpecial(utf8, from)) {
    out.Put(utf8.substr(from, i - from));
    switch (utf8[i]) {
      case '&': out.Put("&amp;"); break;
      case '<': out.Put("&lt;"); break;
      case '>': out.Put("&gt;"); break;
      case '"': out.Put("&quot;"); break;
      default: out.Put("&#39;");
    }
    from = i + 1;
  }
  out.Put(utf8.substr(from));
}

// Escape as the texts' form: a text without a byte to escape stands as it is.
bool EscapeText(std::string_view utf8, ByteBuilder& out) {
  if (NextSpecial(utf8, 0) == utf8.size()) return false;
  Escape(utf8, out);
  return true;
}

void Head(ByteBuilder& out, std::string_view title) {
  out.Put(
      "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
  Escape(title, out);
  out.Put("</title>\n<style>");
  out.Put(kStyle);
  out.Put("</style>\n</head>\n<body>\n");
}

void WritePage(const std::string& path, const ByteBuilder& html) {
  OutputFile file(path);
  file.Write(html.View());
  file.Write("</body>\n</html>\n");
  file.Close();
}

// A board, or the mails.
struct Section {
  std::string stem;   // file names start with it: "b3", "mail"
  std::string title;  // UTF-8
  TreeNodeId node = kNoNode;
  std::vector<size_t> messages;  // selected, in list order
  ExportDate newest;
  // Tree pages: the first node id of each page's threads.
  std::vector<std::pair<TreeNodeId, TreeNodeId>> pages;  // [first, end) of node ids
};

void AppendTextPage(const Section& s, size_t page, ByteBuilder& out) {
  out.Put(s.stem);
  out.Put("-t");
  out.PutDecimal(static_cast<int64_t>(page));
  out.Put(".html");
}
void AppendTreePage(const Section& s, size_t page, ByteBuilder& out) {
  out.Put(s.stem);
  if (page != 1) {
    out.Put('-');
    out.PutDecimal(static_cast<int64_t>(page));
  }
  out.Put(".html");
}
std::string TextPage(const Section& s, size_t page) {
  ByteBuilder name;
  AppendTextPage(s, page, name);
  return std::string(name.View());
}
std::string TreePage(const Section& s, size_t page) {
  ByteBuilder name;
  AppendTreePage(s, page, name);
  return std::string(name.View());
}

class HtmlWriter {
 public:
  HtmlWriter(ExportRun& run, const std::string& dir)
      : run_(run), dir_(dir), text_page_(run.Size()), tree_page_(run.Size()) {}

  void Write() {
    CollectSections();
    for (Section& s : sections_) PlanTreePages(s);
    std::vector<size_t> order;  // as the text pages are written
    for (const Section& s : sections_) order.insert(order.end(), s.messages.begin(), s.messages.end());
    run_.PrepareTexts(EscapeText, std::move(order));
    // Text pages first: their size decides where a page ends, and the tree
    // pages link to them.
    for (const Section& s : sections_) {
      WriteTextPages(s);
      WriteTreePages(s);
    }
    WriteIndex();
  }

 private:
  void AddSection(std::string stem, std::string title, TreeNodeId node) {
    const MessageTree& tree = run_.Tree();
    Section s;
    s.stem = std::move(stem);
    s.title = std::move(title);
    s.node = node;
    s.messages = SubtreeMessages(tree, node);
    std::erase_if(s.messages, [this](size_t index) { return !run_.Selected(index); });
    if (s.messages.empty() && node != tree.TopLevel()[0]) return;
    for (size_t i = 0; i < s.messages.size(); ++i) {
      const ExportDate d = run_.Date(s.messages[i]);
      if (std::tie(d.year, d.month, d.day) > std::tie(s.newest.year, s.newest.month, s.newest.day)) s.newest = d;
    }
    sections_.push_back(std::move(s));
  }

  void CollectSections() {
    const MessageTree& tree = run_.Tree();
    if (tree.Empty()) return;
    AddSection("mail", "\xE6\x96\xB0\xE7\x9D\x80\xE3\x83\xA1\xE3\x83\xBC\xE3\x83\xAB",
               tree.TopLevel()[0]);  // 新着メール
    const TreeNodeId root = tree.MessageRoot();
    if (root == kNoNode) return;
    int n = 0;
    for (TreeNodeId board : tree.Children(root)) {
      ++n;
      const MessageTree::ChildRange first = tree.Children(board);
      const std::string title = first.empty()
                                    ? Utf8(tree.Text(board))
                                    : BoardLabel(run_.Entry(static_cast<size_t>(tree.MessageIndex(first.front()))));
      AddSection("b" + DecimalText(n), title, board);
    }
  }

  // Threads stay whole on one page; a page is closed once it holds enough
  // entries. A thread too big for one page is cut every as many entries, so
  // that no page is slow to open.
  void PlanTreePages(Section& s) {
    const MessageTree& tree = run_.Tree();
    size_t count = 0;
    for (TreeNodeId top : tree.Children(s.node)) {
      const TreeNodeId end = tree.SubtreeEnd(top);
      size_t selected = 0;
      for (TreeNodeId id = top; id < end; ++id) {
        if (IsSelectedMessage(id)) ++selected;
      }
      if (selected == 0) continue;
      const bool cut = selected > kTreeEntriesPerPage;
      if (s.pages.empty() || count >= kTreeEntriesPerPage || cut) {
        s.pages.emplace_back(top, end);
        count = 0;
      }
      s.pages.back().second = end;
      for (TreeNodeId id = top; id < end; ++id) {
        if (!IsSelectedMessage(id)) continue;
        if (cut && count == kTreeEntriesPerPage) {
          s.pages.back().second = id;
          s.pages.emplace_back(id, end);
          count = 0;
        }
        ++count;
        tree_page_[static_cast<size_t>(tree.MessageIndex(id))] = static_cast<uint32_t>(s.pages.size());
      }
    }
  }

  bool IsSelectedMessage(TreeNodeId id) const {
    const int32_t index = run_.Tree().MessageIndex(id);
    return index >= 0 && run_.Selected(static_cast<size_t>(index));
  }

  void Nav(ByteBuilder& out, const Section& s, size_t page, size_t pages, bool text) {
    out.Put("<nav><a href=\"index.html\">\xE7\x9B\xAE\xE6\xAC\xA1</a>");  // 目次
    if (text) {
      out.Put(" | <a href=\"");
      AppendTreePage(s, 1, out);
      out.Put("\">\xE3\x83\x84\xE3\x83\xAA\xE3\x83\xBC</a>");  // ツリー
    }
    if (pages > 1) {
      if (!text) {
        out.Put(" | ");
        out.PutDecimal(static_cast<int64_t>(page));
        out.Put(" / ");
        out.PutDecimal(static_cast<int64_t>(pages));
      }
      const auto link = [&](size_t to, std::string_view caption) {
        out.Put(" | <a href=\"");
        if (text) {
          AppendTextPage(s, to, out);
        } else {
          AppendTreePage(s, to, out);
        }
        out.Put("\">");
        out.Put(caption);
        out.Put("</a>");
      };
      if (page > 1) link(page - 1, "\xE5\x89\x8D\xE3\x81\xB8");      // 前へ
      if (page < pages) link(page + 1, "\xE6\xAC\xA1\xE3\x81\xB8");  // 次へ
    }
    out.Put("</nav>\n");
  }

  // The mark column: ○ ● ★, or a badge that makes an unread message stand out.
  static void Mark(ByteBuilder& out, const MessageEntry& e) {
    const std::string_view symbol = MarkSymbol(e.Mark());
    if (symbol.empty()) {
      out.Put("<span class=\"new\">\xE6\x9C\xAA\xE8\xAA\xAD</span>");  // 未読
    } else {
      out.Put("<span class=\"mk\">");
      out.Put(symbol);
      out.Put("</span>");
    }
  }

  // Escapes Shift-JIS bytes in UTF-8.
  void EscapeSjis(std::string_view sjis, ByteBuilder& out) { Escape(utf8_.Of(sjis), out); }

  // `opening` (an element's start up to its id's prefix), the message's SeqNo,
  // and the class that makes an unread message stand out; the tag is left open.
  static void OpenElement(ByteBuilder& out, std::string_view opening, int64_t seq, const MessageEntry& e) {
    out.Put(opening);
    out.PutDecimal(seq);
    out.Put('"');
    if (MarkSymbol(e.Mark()).empty()) out.Put(" class=\"u\"");
  }

  // `answered`: the entry of the message this one answers, shown before it
  // when the entry is not nested below it (nullptr when it is).
  void Entry(ByteBuilder& out, const Section& s, size_t index, const MessageEntry* answered) {
    const MessageEntry& e = run_.Entry(index);
    const int64_t seq = SeqNoAt(index);
    OpenElement(out, "<li id=\"n", seq, e);
    out.Put('>');
    if (answered != nullptr) {
      out.Put("<span class=\"up\">\xE2\x86\xB3");  // ↳
      AppendMessageLabel(*answered, out);
      out.Put("</span> ");
    }
    out.Put("<a href=\"");
    AppendTextPage(s, text_page_[index], out);
    out.Put("#m");
    out.PutDecimal(seq);
    out.Put("\">");
    Mark(out, e);
    if (!e.IsMail()) AppendMessageLabel(e, out);
    out.Put("\xE3\x80\x90");  // 【
    EscapeSjis(e.writer_handle.View(), out);
    out.Put("\xE3\x80\x91");  // 】
    EscapeSjis(e.title.View(), out);
    out.Put("</a> <span class=\"d\">");
    EscapeSjis(e.write_date.View(), out);
    out.Put("</span>");
  }

  void WriteTreePages(const Section& s) {
    const MessageTree& tree = run_.Tree();
    for (size_t p = 0; p < std::max<size_t>(1, s.pages.size()); ++p) {
      ByteBuilder& out = page_;  // reused: its memory stays between pages
      out.Clear();
      Head(out, s.title);
      Nav(out, s, p + 1, s.pages.size(), false);
      out.Put("<h1>");
      Escape(s.title, out);
      out.Put("</h1>\n<ul class=\"tree\">\n");
      if (p < s.pages.size()) {
        // Nested lists from the depths of the selected nodes, in display order.
        struct Open {
          int32_t depth;
          bool list;
        };
        std::vector<Open> open;
        for (TreeNodeId id = s.pages[p].first; id < s.pages[p].second; ++id) {
          const int32_t index = tree.MessageIndex(id);
          if (index < 0 || !run_.Selected(static_cast<size_t>(index))) continue;
          const int32_t depth = tree.Depth(id);
          while (!open.empty() && open.back().depth >= depth) {
            if (open.back().list) out.Put("</ul>");
            out.Put("</li>\n");
            open.pop_back();
          }
          if (open.size() == kTreeNestingLimit) {
            // Beside the deepest entry instead of below it.
            out.Put("</li>\n");
            open.pop_back();
          }
          // Not below the message it answers (a page that goes on with a
          // thread begins with a reply): that message's number goes before it.
          const MessageEntry* answered = nullptr;
          if (open.empty() || depth > open.back().depth + 1) {
            const int32_t parent = tree.MessageIndex(tree.Parent(id));
            if (parent >= 0) answered = &run_.Entry(static_cast<size_t>(parent));
          }
          if (!open.empty() && !open.back().list) {
            out.Put("\n<ul>\n");
            open.back().list = true;
          }
          Entry(out, s, static_cast<size_t>(index), answered);
          open.push_back({depth, false});
        }
        while (!open.empty()) {
          if (open.back().list) out.Put("</ul>");
          out.Put("</li>\n");
          open.pop_back();
        }
      }
      out.Put("</ul>\n");
      Nav(out, s, p + 1, s.pages.size(), false);
      WritePage(dir_ + TreePage(s, p + 1), out);
    }
  }

  // Pages of at most kTextsPerPage texts, ended early once they pass
  // kTextPageBytes (mails can be long), so that every page opens quickly.
  void WriteTextPages(const Section& s) {
    size_t i = 0;
    for (size_t page = 1; i < s.messages.size(); ++page) {
      ByteBuilder& body = page_;
      body.Clear();
      for (size_t count = 0; i < s.messages.size() && count < kTextsPerPage && body.Size() < kTextPageBytes;
           ++count, ++i) {
        const size_t index = s.messages[i];
        text_page_[index] = static_cast<uint32_t>(page);
        const MessageEntry& e = run_.Entry(index);
        const int64_t seq = SeqNoAt(index);
        OpenElement(body, "<article id=\"m", seq, e);
        body.Put("><h2>");
        Mark(body, e);
        if (!e.IsMail()) {
          AppendMessageLabel(e, body);
          body.Put(' ');
        }
        EscapeSjis(e.title.View(), body);
        body.Put("</h2>\n<p class=\"meta\">");
        if (!e.IsMail()) {
          Escape(boards_.Of(e), body);
          if (e.kind() == MessageKind::Res) {
            body.Put(" | res:");
            body.PutDecimal(e.res_to_no);
          }
          body.Put(" | ");
        }
        body.Put("\xE3\x80\x90");
        EscapeSjis(e.writer_handle.View(), body);
        body.Put("\xE3\x80\x91 | ");
        AppendDateText(run_.Date(index), body);
        body.Put(" | <a href=\"");
        AppendTreePage(s, tree_page_[index], body);
        body.Put("#n");
        body.PutDecimal(seq);
        body.Put("\">\xE3\x83\x84\xE3\x83\xAA\xE3\x83\xBC</a></p>\n<pre>");
        body.Put(run_.NextText());
        body.Put("</pre></article>\n");
        run_.Done(++done_);
      }
      const size_t pages = i < s.messages.size() ? page + 1 : page;  // whether a next page follows
      ByteBuilder head;
      Head(head, s.title);
      Nav(head, s, page, pages, true);
      ByteBuilder tail;
      Nav(tail, s, page, pages, true);
      OutputFile file(dir_ + TextPage(s, page));
      file.Write(head.View());
      file.Write(body.View());
      file.Write(tail.View());
      file.Write("</body>\n</html>\n");
      file.Close();
    }
  }

  void WriteIndex() {
    const ExportSource& source = run_.Source();
    std::string title = Utf8(source.net_name);
    ByteBuilder out;
    Head(out, title);
    out.Put("<h1>");
    Escape(title, out);
    out.Put("</h1>\n<p>\xE3\x83\xAD\xE3\x82\xB0: ");  // ログ:
    for (size_t i = 0; i < source.log_names.size(); ++i) {
      if (i > 0) out.Put(", ");
      out.Put("<span class=\"fixed\">");
      Escape(source.log_names[i], out);
      out.Put("</span>");
    }
    out.Put(
        "</p>\n<table>\n<tr><th>\xE3\x83\x9C\xE3\x83\xBC\xE3\x83\x89</th><th>\xE4\xBB\xB6\xE6\x95\xB0</th>"
        "<th>\xE6\x9C\x80\xE6\x96\xB0\xE3\x81\xAE\xE6\x9B\xB8\xE8\xBE\xBC\xE6\x97\xA5</th></tr>\n");  // ボード 件数 最新の書込日
    for (const Section& s : sections_) {
      out.Put("<tr><td>");
      if (s.messages.empty()) {
        Escape(s.title, out);
      } else {
        out.Put("<a href=\"");
        AppendTreePage(s, 1, out);
        out.Put("\">");
        Escape(s.title, out);
        out.Put("</a>");
      }
      out.Put("</td><td class=\"n\">");
      out.PutDecimal(static_cast<int64_t>(s.messages.size()));
      out.Put("</td><td>");
      if (!s.messages.empty()) AppendDateText(s.newest, out);
      out.Put("</td></tr>\n");
    }
    out.Put("</table>\n");
    WritePage(dir_ + "index.html", out);
  }

  ExportRun& run_;
  std::string dir_;
  std::vector<Section> sections_;
  std::vector<uint32_t> text_page_;  // by message index
  std::vector<uint32_t> tree_page_;
  size_t done_ = 0;
  ByteBuilder page_;
  FieldUtf8 utf8_;  // EscapeSjis's
  BoardLabels boards_;
};

}  // namespace

void WriteHtml(ExportRun& run, const std::string& dir) { HtmlWriter(run, dir).Write(); }

}  // namespace tobrisk::export_detail
