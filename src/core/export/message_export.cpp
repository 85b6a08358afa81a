#include "core/export/message_export.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <tuple>
#include <unordered_set>
#include <utility>

#include "core/export/export_writers.h"
#include "core/reading/message_text.h"
#include "core/reading/work_state.h"
#include "core/settings/net_definitions.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/io_error.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace fs = std::filesystem;

bool ParseExportFormat(std::string_view name, ExportFormat& format) {
  if (name == "mbox") {
    format = ExportFormat::Mbox;
  } else if (name == "html") {
    format = ExportFormat::Html;
  } else if (name == "text") {
    format = ExportFormat::Text;
  } else {
    return false;
  }
  return true;
}

namespace {

bool ReadDateNumber(std::string_view text, int& value) {
  if (text.empty() || text.size() > 2) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

ExportDate DateOfWriteDate(std::string_view write_date, const ExportYears& years) {
  const size_t slash = write_date.find('/');
  int month = 0;
  int day = 0;
  if (slash == std::string_view::npos || !ReadDateNumber(write_date.substr(0, slash), month) ||
      !ReadDateNumber(write_date.substr(slash + 1), day) || month < 1 || month > 12 || day < 1 || day > 31) {
    return years.capture;
  }
  int year = years.year;
  if (!years.fixed_year) {
    const ExportDate& c = years.capture;
    year = std::tie(month, day) > std::tie(c.month, c.day) ? c.year - 1 : c.year;
  }
  if (day > DaysInMonth(year, month)) return years.capture;  // 02/29 outside a leap year, 04/31
  return {year, month, day};
}

ExportDate CaptureDate(const std::vector<std::string>& logs) {
  time_t newest = 0;
  for (const std::string& log : logs) {
    struct stat st {};
    if (::stat(log.c_str(), &st) != 0) throw IoError::FromErrno("open", log);
    newest = std::max(newest, st.st_mtime);
  }
  struct tm local {};
  ::localtime_r(&newest, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

ExportSource OpenLogsSource(const WorkState& state, const MessageTree& tree, const std::vector<std::string>& logs,
                            MessageTextReader& reader) {
  ExportSource source;
  source.messages = &state.messages;
  source.tree = &tree;
  source.texts = &reader;
  source.log_header = state.current_log_header;
  const int net = FindNetByLogHeader(state.nets, state.current_log_header);
  if (state.nets.Contains(net)) source.net_name = state.nets.At(net).net_name;
  for (const std::string& log : logs) {
    // A name that is not UTF-8 is taken as Shift-JIS, as everywhere in the program (FileNameInSjis).
    const std::string name = fs::path(log).filename().string();
    source.log_names.push_back(IsValidUtf8(name) ? name : SjisToUtf8(name));
  }
  return source;
}

// ---- which messages ----

std::vector<size_t> BoardSelection(const MessageList& messages, size_t index_on_board) {
  std::vector<size_t> result;
  if (index_on_board >= messages.Size()) return result;
  const MessageEntry& board = messages[index_on_board];
  for (size_t i = 0; i < messages.Size(); ++i) {
    const MessageEntry& e = messages[i];
    if (e.board_type() == board.board_type() && e.board_no() == board.board_no()) result.push_back(i);
  }
  return result;
}

std::vector<size_t> export_detail::SubtreeMessages(const MessageTree& tree, TreeNodeId node) {
  // A subtree holds each message once; a bit per list position between the
  // smallest and the largest puts them in order in one pass.
  const TreeNodeId end = tree.SubtreeEnd(node);
  size_t count = 0;
  size_t low = SIZE_MAX;
  size_t high = 0;
  for (TreeNodeId id = node; id < end; ++id) {
    const int32_t index = tree.MessageIndex(id);
    if (index < 0) continue;
    ++count;
    low = std::min(low, static_cast<size_t>(index));
    high = std::max(high, static_cast<size_t>(index));
  }
  std::vector<size_t> result;
  if (count == 0) return result;
  std::vector<uint64_t> bits((high - low) / 64 + 1);
  for (TreeNodeId id = node; id < end; ++id) {
    const int32_t index = tree.MessageIndex(id);
    if (index >= 0)
      bits[(static_cast<size_t>(index) - low) / 64] |= uint64_t{1} << ((static_cast<size_t>(index) - low) % 64);
  }
  result.reserve(count);
  for (size_t w = 0; w < bits.size(); ++w) {
    for (uint64_t word = bits[w]; word != 0; word &= word - 1) {
      result.push_back(low + w * 64 + static_cast<size_t>(__builtin_ctzll(word)));
    }
  }
  return result;
}

std::vector<size_t> RepliesSelection(const MessageTree& tree, size_t index) {
  const TreeNodeId node = tree.NodeOfMessage(index);
  return node == kNoNode ? std::vector<size_t>() : export_detail::SubtreeMessages(tree, node);
}

std::vector<size_t> ThreadSelection(const MessageTree& tree, size_t index) {
  TreeNodeId node = tree.NodeOfMessage(index);
  if (node == kNoNode) return {};
  // Up to the message just below the board node (mails sit just below their root).
  while (tree.Parent(node) != kNoNode && tree.MessageIndex(tree.Parent(node)) >= 0) node = tree.Parent(node);
  return export_detail::SubtreeMessages(tree, node);
}

// ---- shared by the formats ----

namespace export_detail {

std::string Utf8(std::string_view sjis) { return SjisToUtf8(sjis); }

std::string_view FieldUtf8::Of(std::string_view sjis) {
  shown_.Clear();
  shown_.End(PutShownLine(sjis, shown_.Room(sjis.size())));
  return utf8_.Of(shown_.View());
}

std::string_view MarkName(std::string_view mark) {
  switch (IconForMark(mark)) {
    case kIconRead: return "read";
    case kIconReplied: return "replied";
    case kIconChecked: return "checked";
    default: return "unread";
  }
}

std::string_view MarkSymbol(std::string_view mark) {
  switch (IconForMark(mark)) {
    case kIconRead: return "\u25cb";     // ○
    case kIconReplied: return "\u25cf";  // ●
    case kIconChecked: return "\u2605";  // ★
    default: return "";
  }
}

void AppendDateText(const ExportDate& date, ByteBuilder& out) {
  out.PutDecimal(date.year);
  out.Put('/');
  if (date.month < 10) out.Put('0');
  out.PutDecimal(date.month);
  out.Put('/');
  if (date.day < 10) out.Put('0');
  out.PutDecimal(date.day);
}

void AppendMessageLabel(const MessageEntry& entry, ByteBuilder& out) {
  out.End(PutMessageLabel(entry.message_no, out.Room(kMessageLabelRoom)));
}

std::string BoardNameText(const MessageEntry& entry) {
  // The host pads board names with blanks, half- and full-width.
  FieldUtf8 field;
  std::string name(field.Of(entry.BoardName()));
  for (;;) {
    if (!name.empty() && name.back() == ' ') {
      name.pop_back();
    } else if (name.size() >= 3 && name.compare(name.size() - 3, 3, "\u3000") == 0) {
      name.resize(name.size() - 3);
    } else {
      break;
    }
  }
  return name;
}

std::string BoardLabel(const MessageEntry& entry) {
  return std::string(BoardTypeText(entry.board_type())) + DecimalText(entry.board_no()) + ":" + BoardNameText(entry);
}

const std::string& BoardLabels::Of(const MessageEntry& entry) {
  if (last_ == nullptr || entry.board_type() != last_->board_type() || entry.board_no() != last_->board_no() ||
      entry.BoardName() != last_->BoardName()) {
    last_ = &entry;
    label_ = BoardLabel(entry);
  }
  return label_;
}

// Occurrences over the whole list, so that an ID does not depend on the selection.
void ExportRun::CountOccurrences() {
  const size_t size = Size();
  occurrence_.assign(size, 0);
  // The list holds each board's messages together, by number: equal messages
  // follow one another in list order, and one pass counts them.
  uint32_t mails = 0;
  std::unordered_set<uint64_t> boards;
  size_t previous = size;  // the board message before
  bool grouped = true;
  for (size_t i = 0; i < size && grouped; ++i) {
    const MessageEntry& e = Entry(i);
    if (e.IsMail()) {
      occurrence_[i] = ++mails;
      continue;
    }
    if (previous < size && e.board_type() == Entry(previous).board_type() &&
        e.board_no() == Entry(previous).board_no()) {
      const int32_t before = Entry(previous).message_no;
      grouped = e.message_no >= before;
      occurrence_[i] = e.message_no == before ? occurrence_[previous] + 1 : 1;
    } else {
      const uint64_t board = uint64_t{static_cast<uint8_t>(e.board_type())} << 32 | static_cast<uint32_t>(e.board_no());
      grouped = boards.insert(board).second;
      occurrence_[i] = 1;
    }
    previous = i;
  }
  if (grouped) return;

  // Not so grouped (a list in another order): the board messages sorted by key.
  struct Key {
    int32_t board_no;
    int32_t message_no;
    uint32_t index;
    uint8_t type;
  };
  std::vector<Key> keys;
  mails = 0;
  for (size_t i = 0; i < size; ++i) {
    const MessageEntry& e = Entry(i);
    if (e.IsMail()) {
      occurrence_[i] = ++mails;
    } else {
      keys.push_back({e.board_no(), e.message_no, static_cast<uint32_t>(i), static_cast<uint8_t>(e.board_type())});
    }
  }
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    return std::tie(a.type, a.board_no, a.message_no, a.index) < std::tie(b.type, b.board_no, b.message_no, b.index);
  });
  for (size_t k = 0; k < keys.size(); ++k) {
    const bool same = k > 0 && keys[k].type == keys[k - 1].type && keys[k].board_no == keys[k - 1].board_no &&
                      keys[k].message_no == keys[k - 1].message_no;
    occurrence_[keys[k].index] = same ? occurrence_[keys[k - 1].index] + 1 : 1;
  }
}

ExportRun::ExportRun(const ExportSource& source, const ExportOptions& options, Progress& progress)
    : source_(source), options_(options), progress_(progress) {
  const size_t size = Size();
  if (options.all) {
    indices_.resize(size);
    for (size_t i = 0; i < indices_.size(); ++i) indices_[i] = i;
  } else {
    indices_ = options.selection;
    std::sort(indices_.begin(), indices_.end());
    indices_.erase(std::unique(indices_.begin(), indices_.end()), indices_.end());
    while (!indices_.empty() && indices_.back() >= size) indices_.pop_back();
    selected_.assign(size, false);
    for (size_t i : indices_) selected_[i] = true;
  }
  // Only the mbox names its messages.
  if (options.format == ExportFormat::Mbox) CountOccurrences();
  for (const char ch : source.log_header) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      domain_.push_back(static_cast<char>(c));
    } else if (c >= 'A' && c <= 'Z') {
      domain_.push_back(static_cast<char>(c - 'A' + 'a'));
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      domain_.push_back('x');
      domain_.push_back(kHex[c >> 4]);
      domain_.push_back(kHex[c & 15]);
    }
  }
  if (domain_.empty()) domain_ = "net";
  domain_ += ".tobrisk.invalid";
  progress_.SetLabel(Sjis("エクスポート中..."));
}

std::string_view ExportRun::Convert(std::string_view sjis, ConvertBuffers& buffers) const {
  // Texts are whole lines, and no character spans a line end, so converting
  // text by text gives the same bytes as converting a whole stretch.
  const std::string_view utf8 = buffers.utf8.Of(sjis);
  if (form_ == nullptr) return utf8;
  buffers.formed.Clear();
  return form_(utf8, buffers.formed) ? buffers.formed.View() : utf8;
}

void ExportRun::ConvertBatch(TextBatch& batch) {
  // The batch changes only once all of it is converted: one that failed halfway
  // (out of memory) is still handed out whole, as it was.
  converted_batch_.clear();
  converted_ends_.clear();
  size_t from = 0;
  for (const size_t end : batch.ends) {
    converted_batch_.append(Convert(std::string_view(batch.bytes).substr(from, end - from), preparing_buffers_));
    converted_ends_.push_back(converted_batch_.size());
    from = end;
  }
  batch.bytes.swap(converted_batch_);
  batch.ends.swap(converted_ends_);
  batch.converted = true;
}

// Reads the text at start k up to the next start.
void ExportRun::ReadStretch(size_t k, std::string& out) {
  MessageTextReader& reader = *source_.texts;
  const uint64_t stop = k + 1 < starts_.size() ? starts_[k + 1] : MessageTextReader::kNoStop;
  // One byte past the stop: the line there shows that the text ends before it.
  const uint64_t needed = stop == MessageTextReader::kNoStop ? starts_[k] + 1 : stop + 1;
  const uint64_t read_to = reader.Holds(starts_[k], needed) ? 0 : ReadAheadEnd(k);
  reader.Read(starts_[k], stop, read_to, cut_);
  kind_[k] = cut_.reached_stop ? Start::RunsOn : Start::Ends;
  out.swap(cut_.bytes);
}

uint64_t ExportRun::ReadAheadEnd(size_t k) const {
  constexpr size_t kLookAhead = 64;           // texts
  constexpr uint64_t kMostAhead = 64u << 10;  // bytes
  // The texts of a board are spread over the file, the list takes them in
  // order: the next few are mostly the ones that follow in the file.
  size_t end = k + 1;
  for (size_t j = position_ + 1; j < order_.size() && j <= position_ + kLookAhead; ++j) {
    if (end >= starts_.size() || starts_[end] - starts_[k] >= kMostAhead) break;
    if (Entry(order_[j]).text_offset == starts_[end]) ++end;
  }
  return end < starts_.size() ? starts_[end] + 1 : starts_[k] + kMostAhead;
}

// After the texts of starts first..last (one run) were handed out: keeps their
// stretches while a text still to come needs them, else lets them go.
void ExportRun::ReleaseStretches(size_t first, size_t last) {
  for (;;) {
    for (size_t k = first; k <= last; ++k) {
      if (waiting_[k] > 0) return;
    }
    // The start before: a text still to come there may run on into this run.
    if (first == 0 || waiting_[first - 1] == 0 || kind_[first - 1] == Start::Ends) break;
    if (kind_[first - 1] == Start::RunsOn) return;
    ReadStretch(first - 1, stretches_[first - 1]);  // read now rather than keep this run on the chance
    if (kind_[first - 1] == Start::RunsOn) return;
    stretches_.erase(first - 1);
    break;
  }
  for (size_t k = first; k <= last; ++k) stretches_.erase(k);
}

const std::vector<std::string_view>& ExportRun::Text(size_t index) {
  if (!planned_) {
    planned_ = true;
    starts_.reserve(indices_.size());
    if (selected_.empty()) {
      // Every message: in the order they were read their texts follow one
      // another, and the sort below has nothing to do.
      for (const MessageEntry& e : source_.messages->Entries()) starts_.push_back(e.text_offset);
    } else {
      for (size_t i : indices_) starts_.push_back(Entry(i).text_offset);
    }
    if (!std::is_sorted(starts_.begin(), starts_.end())) std::sort(starts_.begin(), starts_.end());
    // Each start once, with the number of texts that begin there.
    waiting_.reserve(starts_.size());
    size_t distinct = 0;
    for (const uint64_t start : starts_) {
      if (distinct > 0 && starts_[distinct - 1] == start) {
        ++waiting_.back();
      } else {
        starts_[distinct++] = start;
        waiting_.push_back(1);
      }
    }
    starts_.resize(distinct);
    kind_.assign(starts_.size(), Start::Unread);
  }
  if (handed_) {  // the pieces handed out last are no longer used
    handed_ = false;
    size_t first = handed_first_;
    while (first > 0 && kind_[first - 1] == Start::RunsOn && stretches_.count(first - 1) != 0) --first;
    ReleaseStretches(first, handed_last_);
  }
  pieces_.clear();
  const uint64_t offset = Entry(index).text_offset;
  // The list holds a board's messages in the order they were read: the start
  // asked for is mostly the one after the last.
  size_t k = last_start_ + 1;
  if (k >= starts_.size() || starts_[k] != offset) {
    const auto at = std::lower_bound(starts_.begin(), starts_.end(), offset);
    if (at == starts_.end() || *at != offset) {  // not one of the messages exported
      single_ = std::move(source_.texts->Read(offset).bytes);
      pieces_.push_back(single_);
      return pieces_;
    }
    k = static_cast<size_t>(at - starts_.begin());
  }
  last_start_ = k;
  if (stretches_.count(k) == 0) {
    ReadStretch(k, single_);
    // Most texts share nothing: one that ends before the next start, where no
    // text still to come may run on into it, is not kept.
    if (kind_[k] == Start::Ends && (k == 0 || waiting_[k - 1] == 0 || kind_[k - 1] == Start::Ends)) {
      pieces_.push_back(single_);
      if (waiting_[k] > 0) --waiting_[k];
      return pieces_;
    }
    stretches_[k] = std::move(single_);
  }
  size_t last = k;
  for (;; ++last) {
    if (stretches_.count(last) == 0) ReadStretch(last, stretches_[last]);
    pieces_.push_back(stretches_[last]);
    if (kind_[last] != Start::RunsOn) break;
  }
  if (waiting_[k] > 0) --waiting_[k];
  handed_ = true;
  handed_first_ = k;
  handed_last_ = last;
  return pieces_;
}

namespace {

constexpr size_t kBatchBytes = size_t{256} << 10;  // a batch of texts is handed on once it holds this
constexpr size_t kBatchTexts = 256;                // or this many texts
constexpr size_t kBatchesAhead = 2;                // prepared and not yet taken

}  // namespace

ExportRun::~ExportRun() {
  if (!preparer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  preparer_.join();
  source_.texts->SetLineEnd("\r\n");
}

void ExportRun::PrepareTexts(TextForm form, std::vector<size_t> order) {
  form_ = form;
  source_.texts->SetLineEnd("\n");  // as `show` prints the texts
  order_ = std::move(order);
  preparer_ = std::thread([this] { PrepareLoop(); });
}

void ExportRun::PrepareLoop() {
  std::unique_ptr<TextBatch> batch;
  try {
    for (size_t i = 0; i < order_.size(); ++i) {
      if (!batch) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stop_ || ready_.size() < kBatchesAhead; });
        if (stop_) return;
        if (spare_.empty()) {
          batch = std::make_unique<TextBatch>();
        } else {
          batch = std::move(spare_.back());
          spare_.pop_back();
        }
        lock.unlock();
        batch->bytes.clear();
        batch->ends.clear();
        batch->converted = false;
      }
      position_ = i;
      for (const std::string_view piece : Text(order_[i])) batch->bytes.append(piece);
      batch->ends.push_back(batch->bytes.size());
      if (batch->bytes.size() >= kBatchBytes || batch->ends.size() >= kBatchTexts || i + 1 == order_.size()) {
        bool writer_busy = false;
        {
          std::lock_guard lock(mutex_);
          writer_busy = !ready_.empty();
        }
        if (writer_busy) ConvertBatch(*batch);
        std::lock_guard lock(mutex_);
        ready_.push_back(std::exchange(batch, nullptr));  // the next text starts a new batch
        changed_.notify_all();
      }
    }
  } catch (...) {
    std::lock_guard lock(mutex_);
    if (batch && !batch->ends.empty()) ready_.push_back(std::move(batch));  // the texts before the failure
    error_ = std::current_exception();
  }
  std::lock_guard lock(mutex_);
  prepared_all_ = true;
  changed_.notify_all();
}

std::string_view ExportRun::NextText() {
  if (!taking_ || taken_ == taking_->ends.size()) {
    std::unique_lock lock(mutex_);
    if (taking_) spare_.push_back(std::move(taking_));
    changed_.wait(lock, [this] { return !ready_.empty() || prepared_all_; });
    if (ready_.empty()) {
      if (error_) std::rethrow_exception(error_);
      return {};
    }
    taking_ = std::move(ready_.front());
    ready_.pop_front();
    taken_ = 0;
    changed_.notify_all();
  }
  const size_t from = taken_ == 0 ? 0 : taking_->ends[taken_ - 1];
  const size_t to = taking_->ends[taken_++];
  const std::string_view text = std::string_view(taking_->bytes).substr(from, to - from);
  return taking_->converted ? text : Convert(text, writing_buffers_);
}

int64_t ExportRun::ParentMessage(size_t index) const {
  const TreeNodeId node = Tree().NodeOfMessage(index);
  if (node == kNoNode || Tree().Parent(node) == kNoNode) return -1;
  return Tree().MessageIndex(Tree().Parent(node));
}

void ExportRun::AppendMessageId(size_t index, ByteBuilder& out) const {
  const MessageEntry& e = Entry(index);
  out.Put('<');
  if (e.IsMail()) {
    out.Put("mail.");
    out.PutDecimal(occurrence_[index]);
  } else {
    for (const char c : BoardTypeText(e.board_type())) out.Put(static_cast<char>(c - 'A' + 'a'));
    out.PutDecimal(e.board_no());
    out.Put('.');
    out.PutDecimal(e.message_no);
    if (occurrence_[index] > 1) {
      out.Put('.');
      out.PutDecimal(occurrence_[index]);
    }
  }
  out.Put('@');
  out.Put(domain_);
  out.Put('>');
}

void ExportRun::Done(size_t count) {
  if (count < next_step_ && count != indices_.size()) return;
  next_step_ = count + 256;
  progress_.Step(indices_.empty() ? 100 : RoundedPercent(count, indices_.size()));
  if (options_.cancelled && options_.cancelled()) throw ExportCancelled{};
}

}  // namespace export_detail

// ---- the output ----

namespace {

bool IsEarlierExport(const fs::path& dir) {
  std::error_code ec;
  return fs::is_regular_file(dir / "index.html", ec) || fs::is_empty(dir, ec);
}

fs::path TemporarySibling(const std::string& out) { return fs::path(TemporarySiblingPath(out)); }

void RemoveQuietly(const fs::path& path) noexcept {
  std::error_code ec;
  fs::remove_all(path, ec);
}

}  // namespace

std::string OutputRefusal(const ExportOptions& options, const std::vector<std::string>& inputs) {
  const bool folder_wanted = options.format == ExportFormat::Html;
  if (options.out == kStandardOutput) return folder_wanted ? "[-] はフォルダではありません。" : "";
  // A file is written through a link, as every file of the program: its final target is what is replaced.
  fs::path out(options.out);
  if (!folder_wanted) {
    try {
      out = WriteTargetOf(options.out);
    } catch (const IoError& e) {
      return e.what();
    }
  }
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(out, ec);
  if (!fs::exists(status)) return {};
  for (const std::string& input : inputs) {
    if (fs::equivalent(out, input, ec)) return "[" + options.out + "] は読み込むログファイルです。";
  }
  // Only a plain file (or a folder for the pages) is replaced: a device or a
  // pipe in its place (/dev/stdout) would be swapped for a plain file.
  if (folder_wanted ? !fs::is_directory(status) : !fs::is_regular_file(status)) {
    return "[" + options.out + (folder_wanted ? "] はフォルダではありません。" : "] はファイルではありません。");
  }
  if (!options.force) return "[" + options.out + "] は既に有ります。";
  if (folder_wanted && !IsEarlierExport(out)) {
    return "[" + options.out + "] はエクスポートしたフォルダではないため、置き換えません。";
  }
  return {};
}

void ExportMessages(const ExportSource& source, const ExportOptions& options, Progress& progress) {
  const std::string refusal = OutputRefusal(options);
  if (!refusal.empty()) throw IoError("write", options.out, refusal);
  export_detail::ExportRun run(source, options, progress);
  const auto write = [&](OutputFile& out) {
    out.WriteBehind();  // the file system's copying goes on beside the formatting
    if (options.format == ExportFormat::Mbox) {
      export_detail::WriteMbox(run, out);
    } else {
      export_detail::WriteText(run, out);
    }
    out.Close();
  };
  if (options.format != ExportFormat::Html) {
    if (options.out == kStandardOutput) {
      // A pipe or a terminal: streamed as it is made, with nothing to rename.
      OutputFile out("/dev/stdout", OutputFile::Mode::Append);
      write(out);
      return;
    }
    const std::string target = WriteTargetOf(options.out);
    const std::string temporary = TemporarySibling(target).string();
    try {
      OutputFile out(temporary);
      write(out);
      // Renamed without waiting for the disk: the output is new, no old file
      // depends on it, and an existing one is only replaced by a complete file.
      std::error_code ec;
      fs::rename(temporary, target, ec);
      if (ec) throw IoError("replace", options.out, ec.message());
    } catch (const IoError& e) {
      DiscardTemporary(temporary);
      throw NamingShown(e, temporary, options.out);
    } catch (...) {
      DiscardTemporary(temporary);
      throw;
    }
    return;
  }
  // A folder: built beside the target, then put in its place; an earlier
  // export is moved aside first and removed once the new one stands.
  const fs::path target(options.out);
  const fs::path temporary = TemporarySibling(options.out);
  fs::path old;
  try {
    CreateDirectory(temporary.string());
    export_detail::WriteHtml(run, TrailingSeparator(temporary.string()));
    std::error_code ec;
    if (fs::exists(fs::symlink_status(target, ec))) {
      old = TemporarySibling(options.out);
      fs::rename(target, old, ec);
      if (ec) throw IoError("replace", options.out, ec.message());
    }
    fs::rename(temporary, target, ec);
    if (ec) {
      if (!old.empty()) fs::rename(old, target, ec);
      throw IoError("replace", options.out, ec.message());
    }
  } catch (const IoError& e) {
    RemoveQuietly(temporary);
    throw NamingShown(e, temporary.string(), options.out);
  } catch (...) {
    RemoveQuietly(temporary);
    throw;
  }
  if (!old.empty()) RemoveQuietly(old);
}

}  // namespace tobrisk
