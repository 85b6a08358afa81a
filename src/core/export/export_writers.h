// The three export formats and what they share. Used by ExportMessages only.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "core/export/message_export.h"
#include "core/reading/message_entry.h"
#include "core/reading/message_text.h"
#include "core/reading/message_tree.h"
#include "core/ports/progress.h"
#include "core/text/bytes.h"
#include "core/text/sjis.h"

namespace tobrisk {

class OutputFile;

namespace export_detail {

// One export in progress.
class ExportRun {
 public:
  ExportRun(const ExportSource& source, const ExportOptions& options, Progress& progress);
  ~ExportRun();  // stops the preparing thread
  ExportRun(const ExportRun&) = delete;
  ExportRun& operator=(const ExportRun&) = delete;

  const ExportSource& Source() const { return source_; }
  size_t Size() const { return source_.messages->Size(); }
  // The message at list position `index`.
  const MessageEntry& Entry(size_t index) const { return (*source_.messages)[index]; }
  const MessageTree& Tree() const { return *source_.tree; }
  // The messages to export, in list order.
  const std::vector<size_t>& Indices() const { return indices_; }
  bool Selected(size_t index) const { return selected_.empty() || selected_[index]; }

  // How a format writes the lines of a text: `utf8` holds whole lines, each
  // ended by LF; what it appends for them must depend on each line alone. It
  // returns false, having appended nothing, for a text that stands as it is.
  using TextForm = bool (*)(std::string_view utf8, ByteBuilder& out);
  // Starts preparing the texts of the messages `order` (each once), in the
  // format's form, on a second thread a few hundred texts ahead of the writing.
  void PrepareTexts(TextForm form, std::vector<size_t> order);
  // The text of the next message of that order, as `show` prints it (UTF-8, LF
  // line ends) in the format's form; valid until the next call. Throws what
  // reading the texts threw (IoError) once the texts before are out.
  std::string_view NextText();
  ExportDate Date(size_t index) const { return DateOfWriteDate(Entry(index).write_date.View(), source_.years); }
  // The parent message in the reply tree; -1 at the top of a board and for mails.
  int64_t ParentMessage(size_t index) const;
  // "<...@net.tobrisk.invalid>": stable for the same logs, unique within them.
  void AppendMessageId(size_t index, ByteBuilder& out) const;
  // The domain of the addresses and IDs: the log header in lower case (bytes
  // that are no letter or digit as hex) + ".tobrisk.invalid".
  const std::string& Domain() const { return domain_; }

  // Called after each message written: moves the progress bar and checks for cancelling.
  void Done(size_t count);

 private:
  void CountOccurrences();  // for AppendMessageId

  const ExportSource& source_;
  const ExportOptions& options_;
  Progress& progress_;
  std::vector<size_t> indices_;
  std::vector<bool> selected_;  // empty when every message is exported
  // Mbox only: 1 for the first entry of its (board, number), 2 for a re-read copy...
  std::vector<uint32_t> occurrence_;
  std::string domain_;
  size_t next_step_ = 0;

  // The text of message `index` in Shift-JIS with LF line ends: pieces to be
  // written one after the other, valid until the next call. The texts of one
  // mail box run on to its end and so share their tails: each stretch between
  // two texts' starts is read once, and kept while a text still to be asked for
  // needs it.
  const std::vector<std::string_view>& Text(size_t index);
  void PrepareLoop();

  // Texts. Their starts: the distinct TextOffsets of the messages exported, in
  // order; the text at a start either ends before the next start, or runs on
  // into the next start's text.
  enum class Start : uint8_t { Unread, Ends, RunsOn };
  void ReadStretch(size_t k, std::string& out);
  // Where the stretch at start k and those asked for soon after it that
  // follow on from it end: read together, they cost one read.
  uint64_t ReadAheadEnd(size_t k) const;
  void ReleaseStretches(size_t first, size_t last);
  // A text in UTF-8 in the format's form, made in the given buffers.
  struct ConvertBuffers {
    Utf8Buffer utf8;
    ByteBuilder formed;
  };
  std::string_view Convert(std::string_view sjis, ConvertBuffers& buffers) const;
  // The preparing thread's members, the writing thread's and the ones they
  // share lie on cache lines of their own: the two threads do not make each
  // other fetch lines again and again.
  alignas(64) TextForm form_ = nullptr;
  bool planned_ = false;
  std::vector<uint64_t> starts_;
  std::vector<uint32_t> waiting_;                      // texts at each start still to be asked for
  std::vector<Start> kind_;                            // known once the stretch at a start was read
  std::unordered_map<size_t, std::string> stretches_;  // by start: kept for texts still to come
  std::vector<std::string_view> pieces_;               // handed out
  std::string single_;                                 // a text not kept
  MessageText cut_;          // the stretch read last (its buffer and those it is swapped with are reused)
  size_t last_start_ = 0;    // the start of the text asked for last
  size_t handed_first_ = 0;  // the starts of the stretches handed out
  size_t handed_last_ = 0;
  bool handed_ = false;

  // Texts prepared ahead, whole, in batches: the preparing thread fills them,
  // NextText hands them out. Everything above is the preparing thread's alone.
  // A batch is converted by whichever thread has less to do: by the preparing
  // one when the writing one still has batches waiting, else by NextText.
  struct TextBatch {
    std::string bytes;
    std::vector<size_t> ends;  // where each text ends in `bytes`
    bool converted = false;    // UTF-8 in the format's form, else Shift-JIS
  };
  void ConvertBatch(TextBatch& batch);
  ConvertBuffers preparing_buffers_;
  std::string converted_batch_;  // ConvertBatch's output, swapped with the batch's
  std::vector<size_t> converted_ends_;
  std::vector<size_t> order_;
  size_t position_ = 0;                         // in order_: the text being prepared
  alignas(64) ConvertBuffers writing_buffers_;  // NextText's
  std::unique_ptr<TextBatch> taking_;           // being handed out
  size_t taken_ = 0;                            // texts of taking_ handed out
  alignas(64) std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<TextBatch>> ready_;
  std::vector<std::unique_ptr<TextBatch>> spare_;
  bool stop_ = false;
  bool prepared_all_ = false;
  std::exception_ptr error_;
  std::thread preparer_;
};

// Shift-JIS to UTF-8 (U+FFFD for bytes that are no character).
std::string Utf8(std::string_view sjis);
// A message's field (writer, title, date, board name) in UTF-8 without the
// control bytes a capture can leave in a line (a LF inside it, NUL...), which
// the text view leaves out too: a header line or a mail header stays one line.
class FieldUtf8 {
 public:
  std::string_view Of(std::string_view sjis);

 private:
  ByteBuilder shown_;
  Utf8Buffer utf8_;
};
// What a read mark means: "unread", "read", "replied", "checked".
std::string_view MarkName(std::string_view mark);
// The mark to show: "○", "●", "★", or empty for unread (UTF-8).
std::string_view MarkSymbol(std::string_view mark);
// "2026/12/07".
void AppendDateText(const ExportDate& date, ByteBuilder& out);
// "#Fc." + the message number filled to 5 digits, as in the tree: "#Fc.00345".
void AppendMessageLabel(const MessageEntry& entry, ByteBuilder& out);
// BoardName without its padding, in UTF-8.
std::string BoardNameText(const MessageEntry& entry);
// BoardType + BoardNo + ":" + BoardName without its padding, in UTF-8 (the tree's board node).
std::string BoardLabel(const MessageEntry& entry);

// The messages at and under tree node `node`, in list order.
std::vector<size_t> SubtreeMessages(const MessageTree& tree, TreeNodeId node);

// BoardLabel, made once for each run of messages of one board (the list holds
// a board's messages together).
class BoardLabels {
 public:
  const std::string& Of(const MessageEntry& entry);

 private:
  const MessageEntry* last_ = nullptr;
  std::string label_;
};

void WriteMbox(ExportRun& run, OutputFile& out);
void WriteText(ExportRun& run, OutputFile& out);
// Writes the pages into the existing empty folder `dir` (with a trailing separator).
void WriteHtml(ExportRun& run, const std::string& dir);

}  // namespace export_detail
}  // namespace tobrisk
