// Removal of terminal control sequences and backspaces from captured logs.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/text/bytes.h"
#include "core/text/line_reader.h"

namespace tobrisk {

class Progress;

// Filters one line and appends the kept bytes to `out`. Backspaces are dropped
// wherever they stand. ESC starts a sequence, which ends at its own final byte:
// - ESC "[" (control sequence): bytes 0x20-0x3F, then one final byte 0x40-0x7E;
// - ESC "]" (operating-system command, window titles): through BEL or ESC "\";
// - ESC, bytes 0x20-0x2F, then one final byte 0x30-0x7E (ESC ( B);
// - ESC and one byte 0x30-0x7E (ESC 7, ESC M).
// Any other byte ends the sequence where it stands and is text again (kept, or
// an ESC starting the next sequence). The state does not outlive the line.
void FilterEscapes(std::string_view line, std::string& out);

// Copies the inputs, line by line and in order, into `output` with control
// sequences removed, each line ended by CR LF. Reports progress (label
// "エスケープシーケンスカット中...", position per line). With a single input the
// output is created only after the input was measured, so a missing input leaves
// the old output untouched. Throws IoError.
void CutEscapes(const std::vector<std::string>& inputs, const std::string& output, Progress& progress);

// Receives the escape-free text as it is produced: blocks of whole lines, each
// line ended by CR LF, in order. Called on the reading thread, before the block's
// lines are handed out; an exception it throws ends the reading and comes out of
// EscapeFilteringReader::Next like a read failure.
using EscapeFreeSink = std::function<void(std::string_view block)>;

// A sink collecting the text in `*text` (emptied first); none when `text` is null.
EscapeFreeSink CollectInto(std::string* text);

// The text EscapeFilteringReader makes of the inputs, handed to `sink` in
// blocks of whole lines, on the calling thread alone and with one piece of lines
// in memory at a time: for work that should take little beside the program's
// (a text written in the background). Throws IoError, or what the sink throws.
void CutEscapesInPieces(const std::vector<std::string>& inputs, const EscapeFreeSink& sink);

// CutEscapes as a line source: reads the inputs line by line and hands out the
// filtered lines with their positions in the text CutEscapes would write, in one
// pass (no measuring, no progress). The text itself goes to `sink` when there is
// one (a string, a file: see EscapeFreeSink); nothing is written otherwise.
// Reading and escape removal run on a second thread, a few pieces of lines
// ahead of the caller, which filters pieces read ahead itself while it waits;
// the lines, positions and errors are the same as reading in turn.
// Throws IoError (from Next, once the lines read before the failure are out).
class EscapeFilteringReader {
 public:
  EscapeFilteringReader(std::vector<std::string> inputs, EscapeFreeSink sink);
  // The same, also telling where in the inputs each line ends: InputPosition() is
  // the reading position in the input of the last line handed out plus
  // `starts[i]` for input i (CutEscapes passes the inputs' measured lengths
  // summed up, for its progress).
  EscapeFilteringReader(std::vector<std::string> inputs, EscapeFreeSink sink, std::vector<uint64_t> starts);
  ~EscapeFilteringReader();
  EscapeFilteringReader(const EscapeFilteringReader&) = delete;
  EscapeFilteringReader& operator=(const EscapeFilteringReader&) = delete;

  // The next line; the view stays valid until the next call.
  bool Next(std::string_view& line);
  // Offset in the text just after the last line handed out and its CR LF.
  uint64_t Position() const { return position_; }
  uint64_t InputPosition() const { return input_position_; }
  // Steps over the lines that start with none of the bytes a, b and c (empty
  // lines too), as if they were handed out: the next line Next hands out starts
  // with one of them, or is the end. Lines are handed out one by one when their
  // input positions are kept.
  void SkipLinesNotStartingWith(char a, char b, char c);
  // Reads the rest of the inputs.
  void Finish();
  // Work for the reading thread's idle moments, when it has read as far ahead as
  // it may (or to the end) and every piece read is filtered and handed to the
  // sink: `step` is called then, without the lock, and returns false when it has
  // nothing to do for now. Each step should be short: the reading waits for it.
  void WhileWaiting(std::function<bool()> step);

 private:
  // A piece of the text in the making: whole lines of a capture as read (`raw`),
  // filtered into `text` by whichever thread gets to it first (the reading
  // thread, or this one while it waits), then handed to the sink by the
  // reading thread, in order.
  struct Piece {
    std::vector<char> raw;
    size_t raw_size = 0;
    ByteBuilder text;                       // filtered lines, each followed by CR LF (no line holds a CR)
    std::vector<uint64_t> input_positions;  // per line, only when starts were given
    bool filtering = false;
    bool filtered = false;
    bool sunk = false;
  };
  void Produce();
  std::unique_ptr<Piece> NewPiece();
  // Queues a piece and works until there is room for the next one; false when
  // the reading is to stop.
  bool Submit(std::unique_ptr<Piece> piece);
  // The reading thread's share (the lock held): sinking the next piece once it
  // is filtered, or else filtering the first piece nobody is at, until there is
  // room for another piece, or with `until_all` until every piece is sunk and
  // none waits to be filtered. False when cancelled or when the sink or a
  // filtering failed (failure_).
  bool Work(std::unique_lock<std::mutex>& lock, bool until_all);
  Piece* Unclaimed();  // the first piece nobody filters yet, if any
  void Filter(std::unique_lock<std::mutex>& lock, Piece& piece);
  bool TakeBlock();

  std::vector<std::string> inputs_;
  EscapeFreeSink sink_;
  std::vector<uint64_t> starts_;
  std::function<bool()> idle_step_;  // under mutex_
  uint64_t position_ = 0;
  uint64_t input_position_ = 0;

  std::unique_ptr<Piece> current_;  // being handed out
  size_t line_ = 0;                 // next line of current_
  size_t offset_ = 0;               // its offset in current_->text

  std::thread producer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Piece>> queue_;  // read, in order, waiting to be handed out
  std::vector<std::unique_ptr<Piece>> free_;  // handed out, for reuse
  bool produced_all_ = false;
  bool cancel_ = false;
  const Piece* stop_at_ = nullptr;  // the text ends before it (the sink or a filtering failed)
  std::exception_ptr failure_;
  std::exception_ptr error_;
};

}  // namespace tobrisk
