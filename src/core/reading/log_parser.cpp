#include "core/reading/log_parser.h"

#include "core/reading/escape_filter.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/reading/message_entry.h"
#include "core/reading/work_state.h"
#include "core/ports/progress.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

enum class Mode { Outside, InBoard, InMail };

struct Markers {
  std::string main_menu = Sjis("[ Ｍain Ｍenu");
  std::string bbs = Sjis("● [ BBS");
  std::string cug = Sjis("● [ CUG");
  std::string ibbs = Sjis("● [ IBBS");
  std::string fsw = Sjis("● [ FSW");
  std::string mail_screen = Sjis("[ Ｍail (");
  std::string mail_send = Sjis("[ Ｍail ( 送");
  std::string mail_header = Sjis("○→[受信]");
  std::string received = Sjis("[受信]");  // part of every mail header; "[" is rare in text
  std::string name_open = Sjis("【");
  std::string name_close = Sjis("】");
  std::string mail_box = Sjis("新着メール");
  std::string label = Sjis("ログファイル読み込み中...");
};

const Markers& M() {
  static const Markers markers;
  return markers;
}

// The measuring pass: the byte position the line model reaches (the file length
// or the first Ctrl-Z), and an upper bound of the entries the parse can make
// (message and mail header markers anywhere), so that the list is allocated once.
struct Measure {
  uint64_t total = 0;
  size_t headers = 0;
};

size_t CountOccurrences(std::string_view bytes, std::string_view marker) {
  size_t n = 0;
  for (size_t at = bytes.find(marker); at != std::string_view::npos; at = bytes.find(marker, at + 1)) ++n;
  return n;
}

Measure MeasureLog(const std::string& path) {
  constexpr size_t kOverlap = 16;  // longer than any marker: none is split unseen
  Measure m;
  // A marker lying wholly inside the overlap may be counted twice, which a bound allows.
  m.total = MeasureCapture(
      path,
      [&m](std::string_view part) {
        m.headers += CountOccurrences(part, "#Fc.") + CountOccurrences(part, M().received);
      },
      kOverlap);
  return m;
}

bool StartsWith(std::string_view line, std::string_view marker) {
  return line.size() >= marker.size() && line.compare(0, marker.size(), marker) == 0;
}

// The fields of a header line at the columns of its kind: title, writer number,
// handle and date follow each other with one blank between them.
// Where the next line's text begins in the escape-free text: the offset an
// entry keeps, which has room below 1 TiB.
template <typename Reader>
uint64_t TextOffsetAt(const Reader& reader) {
  const uint64_t offset = reader.Position();
  if (offset >= PackedOffset::kLimit) {
    errno = EFBIG;
    throw IoError::FromErrno("read", "NOESC.LOG");
  }
  return offset;
}

void CutHeaderFields(std::string_view line, size_t title_column, MessageEntry& e) {
  e.title.Assign(Trim(FieldAt(line, title_column, 32)));
  e.writer_id = ReadNumberAt(line, title_column + 33);
  e.writer_handle.Assign(Trim(FieldAt(line, title_column + 38, 16)));
  e.write_date.Assign(Trim(FieldAt(line, title_column + 55, 5)));
}

// The room reserved for the entries, faulted in a little ahead of the parser
// by the reading thread in the moments it would wait for the parser. The
// entries are fresh memory: the system zeroes each page at its first touch,
// which otherwise falls on the parser, and the parser sets the reading's pace.
class RoomFaultedAhead {
 public:
  explicit RoomFaultedAhead(HugeVector<MessageEntry>& entries)
      : base_(reinterpret_cast<char*>(entries.data())),
        end_(base_ + entries.capacity() * sizeof(MessageEntry)),
        next_(base_ + entries.size() * sizeof(MessageEntry)),
        filled_(entries.size()) {}

  // The reading thread: faults in the next stretch unless it is far enough
  // ahead already; false when there was nothing to do.
  bool Step() {
    const size_t filled = filled_.load(std::memory_order_relaxed);
    if (filled == kStopped) return false;
    char* const fill = base_ + filled * sizeof(MessageEntry);
    next_ = std::max(next_, fill);
    if (next_ >= end_ || static_cast<size_t>(next_ - fill) >= kAhead) return false;
    char* const to = next_ + std::min(kStep, static_cast<size_t>(end_ - next_));
    if (!FaultInPages(next_, to)) {
      filled_.store(kStopped, std::memory_order_relaxed);
      return false;
    }
    next_ = to;
    return true;
  }
  // The parser: the entries filled so far.
  void Filled(size_t entries) { filled_.store(entries, std::memory_order_relaxed); }
  // The parser: no more (the room is about to move, or the parse is over).
  void Stop() { filled_.store(kStopped, std::memory_order_relaxed); }

 private:
  static constexpr size_t kAhead = size_t{1} << 20;
  static constexpr size_t kStep = size_t{256} << 10;
  static constexpr size_t kStopped = SIZE_MAX;
  char* const base_;
  char* const end_;
  char* next_;  // the reading thread's
  std::atomic<size_t> filled_;
};

class Parser {
 public:
  explicit Parser(MessageList& messages) : messages_(messages), empty_mark_(messages.Intern({})) {}

  // Tells `room` how far the entries are filled as they are appended.
  void FillingRoom(RoomFaultedAhead& room) { room_ = &room; }

  // Parses lines as they come out of escape removal (see ParseLogWhileCuttingEscapes).
  void RunFiltered(EscapeFilteringReader& reader) {
    std::string_view line;
    for (;;) {
      // Outside the mail screen only lines starting with "[", "●" or "#" can
      // mean something (see Examine): most lines, the texts, are stepped over.
      if (mode_ != Mode::InMail) reader.SkipLinesNotStartingWith('[', '\x81', '#');
      if (!reader.Next(line)) break;
      Examine(line, reader);
    }
  }

  void Run(const std::string& path, Progress& progress) {
    progress.SetLabel(m_.label);
    const Measure measure = MeasureLog(path);
    // The markers may also stand inside lines; junk full of them must not make
    // the list reserve far more than any capture of this size could hold.
    messages_.Reserve(messages_.Size() + std::min<uint64_t>(measure.headers, measure.total / 64 + 64));
    PercentTracker percent(measure.total);
    LineReader reader(path);
    std::string_view line;
    while (reader.Next(line)) {
      progress.Step(percent.Update(reader.Position()));
      Examine(line, reader);
    }
  }

 private:
  template <typename Reader>
  void Examine(std::string_view line, Reader& reader) {
    const Markers& m = m_;
    // Every screen marker starts with "[" or "●" (0x81 0x9C): one test skips
    // the text lines.
    const char first = line.empty() ? '\0' : line[0];
    if (first == '[' || (first == '\x81' && line.size() > 1 && line[1] == '\x9c')) {
      if (StartsWith(line, m.main_menu)) mode_ = Mode::Outside;
      if (StartsWith(line, m.bbs)) {
        if (MarkerAt(line, 10, "(") || MarkerAt(line, 11, "(")) {
          board_list_no_ = ReadNumberAt(line, 9);
          board_type_ = BoardType::IBBS;
          board_no_ = ReadNumberAt(TextBetween(line, "(", ")"), 5);
        } else {
          board_list_no_ = board_no_ = ReadNumberAt(line, 9);
          board_type_ = BoardType::BBS;
        }
        EnterBoard(line);
      }
      if (StartsWith(line, m.cug)) {
        board_list_no_ = board_no_ = ReadNumberAt(line, 9);
        board_type_ = BoardType::CUG;
        EnterBoard(line);
      }
      if (StartsWith(line, m.ibbs)) {
        board_list_no_ = board_no_ = ReadNumberAt(line, 10);
        board_type_ = BoardType::IBBS;
        EnterBoard(line);
      }
      if (StartsWith(line, m.fsw)) mode_ = Mode::Outside;
      if (StartsWith(line, m.mail_screen)) mode_ = StartsWith(line, m.mail_send) ? Mode::Outside : Mode::InMail;
    }
    if (mode_ == Mode::InMail && MarkerAt(line, 3, m.mail_header)) {
      ReadMail(line, reader);
    } else if (mode_ == Mode::InBoard && first == '#' && StartsWith(line, "#Fc.")) {
      ReadBoardMessage(line, reader);
    }
  }

  void EnterBoard(std::string_view line) {
    board_name_ = messages_.Intern(TextBetween(line, m_.name_open, m_.name_close));
    std::fill(std::begin(contexts_), std::end(contexts_), kUnsetContext);
    mode_ = Mode::InBoard;
  }

  template <typename Reader>
  void ReadMail(std::string_view line, Reader& reader) {
    board_list_no_ = board_no_ = kMailBoardNo;
    board_type_ = BoardType::MAIL;
    board_name_ = messages_.Intern(m_.mail_box);
    std::fill(std::begin(contexts_), std::end(contexts_), kUnsetContext);
    MessageEntry e = NewEntry(MessageKind::Mail);
    e.message_no = kMailMessageNo;
    CutHeaderFields(line, 14, e);
    std::string_view next;
    // A mail header followed by another: the first makes no entry and the
    // second is consumed without being examined.
    if (reader.Next(next) && MarkerAt(next, 3, m_.mail_header)) return;
    e.text_offset = TextOffsetAt(reader);
    reader.Next(next);  // the line between the header and the text
    Append(e);
  }

  template <typename Reader>
  void ReadBoardMessage(std::string_view line, Reader& reader) {
    if (MarkerAt(line, 11, "res:")) {
      MessageEntry e = NewEntry(MessageKind::Res);
      e.message_no = ReadNumberAt(line, 5);
      e.res_to_no = ReadNumberAt(line, 52);
      std::string_view fields;
      if (!reader.Next(fields)) fields = {};
      CutHeaderFields(fields, 15, e);
      e.text_offset = TextOffsetAt(reader);
      Append(e);
    } else {
      MessageEntry e = NewEntry(MessageKind::New);
      e.message_no = ReadNumberAt(line, 5);
      CutHeaderFields(line, 15, e);
      e.text_offset = TextOffsetAt(reader);
      Append(e);
    }
  }

  MessageEntry NewEntry(MessageKind kind) {
    // The board's contexts are interned once per board screen and kind.
    ContextId& context = contexts_[static_cast<size_t>(kind)];
    if (context == kUnsetContext) {
      context = messages_.Context({.board_list_no = board_list_no_,
                                   .board_no = board_no_,
                                   .board_name = board_name_,
                                   .mark = empty_mark_,
                                   .board_type = board_type_,
                                   .kind = kind});
    }
    MessageEntry e;
    e.context = context;
    e.res_to_no = kMissingNumber;
    return e;
  }

  void Append(MessageEntry& e) {
    if (room_ == nullptr) {
      messages_.Append(e);
      return;
    }
    // A list that outgrows its room moves: the room is no longer its own.
    if (messages_.Size() == messages_.Entries().capacity()) {
      room_->Stop();
      room_ = nullptr;
    }
    messages_.Append(e);
    if (room_ != nullptr) room_->Filled(messages_.Size());
  }

  const Markers& m_ = M();
  MessageList& messages_;
  RoomFaultedAhead* room_ = nullptr;
  const std::string* empty_mark_;
  Mode mode_ = Mode::Outside;
  int32_t board_list_no_ = kMissingNumber;
  int32_t board_no_ = kMissingNumber;
  BoardType board_type_ = BoardType::BBS;
  const std::string* board_name_ = nullptr;
  static constexpr ContextId kUnsetContext = ~ContextId{0};
  ContextId contexts_[3] = {kUnsetContext, kUnsetContext, kUnsetContext};  // by kind, for the current board
};

}  // namespace

void ParseLog(const std::string& path, MessageList& messages, Progress& progress) {
  Parser(messages).Run(path, progress);
  messages.ReleaseRoom();
}

void ParseLogWhileCuttingEscapes(const std::vector<std::string>& inputs, EscapeFreeSink sink, MessageList& messages) {
  // Room for the entries from the inputs' sizes, without reading them twice:
  // real captures hold far fewer than one message per 64 bytes, and room that is
  // never filled costs address space only (its pages are never touched but for
  // the few megabytes faulted in ahead, and those are given back with the rest
  // after the parse). Junk denser in headers makes the list grow as usual.
  const uint64_t bytes = TotalSizeOf(inputs);
  const size_t headers = static_cast<size_t>(std::min<uint64_t>(bytes / 64 + 64, SIZE_MAX / sizeof(MessageEntry) / 2));
  messages.Reserve(messages.Size() + headers);
  RoomFaultedAhead room(messages.Entries());
  EscapeFilteringReader reader(inputs, std::move(sink));
  reader.WhileWaiting([&room] { return room.Step(); });
  Parser parser(messages);
  parser.FillingRoom(room);
  parser.RunFiltered(reader);
  reader.Finish();
  room.Stop();
  messages.ReleaseRoom();
}

void ParseLog(WorkState& state, Progress& progress) {
  state.AwaitEscapeFreeText();
  ParseLog(state.WorkFile("NOESC.LOG"), state.messages, progress);
}

}  // namespace tobrisk
