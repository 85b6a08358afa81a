// The nets (host installations) this installation serves, held in NET.TDT.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tobrisk {

class Prompter;

struct NetDefinition {
  std::string log_header;      // LogHeader: start of the net's log file names
  std::string net_name;        // NetName
  std::string handle_name;     // HandleName: the member's own handle on this net
  std::string up_file_header;  // UpFileHeader: prefix of the upload file name

  // False for a net without a log header (a blank line of NET.TDT, a net not
  // filled in yet): it recognises no capture and is not offered for choosing.
  bool RecognisesLogs() const { return !log_header.empty(); }

  bool operator==(const NetDefinition&) const = default;
};

// The four fields of a net by 0-based number, for editors that address fields generically.
enum class NetField { LogHeader, NetName, HandleName, UpFileHeader };

// The net list: nets in NET.TDT order, addressed by 0-based index.
class NetList {
 public:
  int Count() const { return static_cast<int>(nets_.size()); }
  bool Empty() const { return nets_.empty(); }
  bool Contains(int index) const { return index >= 0 && index < Count(); }
  const NetDefinition& At(int index) const { return nets_.at(static_cast<size_t>(index)); }
  NetDefinition& At(int index) { return nets_.at(static_cast<size_t>(index)); }
  const std::vector<NetDefinition>& All() const { return nets_; }

  const std::string& Field(int index, NetField field) const;
  void SetField(int index, NetField field, std::string value);
  void Append(NetDefinition net) { nets_.push_back(std::move(net)); }
  void Delete(int index);
  void Clear() { nets_.clear(); }

 private:
  std::vector<NetDefinition> nets_;
};

inline constexpr std::string_view kNetFileName = "NET.TDT";

// Appends the nets of work_dir + "NET.TDT". A missing file is reported through
// the prompter ("[NET.TDT] ファイルが見つかりませんでした。") and leaves the list
// unchanged. A line with fewer than three TABs loads with the missing fields
// empty. Throws IoError on a read failure.
void LoadNetDefinitions(NetList& nets, const std::string& work_dir, Prompter& prompter);

// Rewrites work_dir + "NET.TDT" from the list (atomically). Throws IoError.
void SaveNetDefinitions(const NetList& nets, const std::string& work_dir);

void ClearNetList(NetList& nets);

// The refusal of every command that needs a net (opening a log, importing
// boards and members) while none is defined: true, after the error box
// "ネット設定を先に行って下さい。"; false (and nothing shown) otherwise.
bool RefusedWithoutNets(const NetList& nets, Prompter& prompter);

// Index of the first net whose LogHeader, upper-cased, equals the first
// length(LogHeader) bytes of `header`; -1 when none does. A net with an empty
// LogHeader matches nothing (see RecognisesLogs).
int FindNetByLogHeader(const NetList& nets, std::string_view header);

// The text of the open-log dialog's file-type filter built from the nets.
// Nets without a LogHeader get no entry.
std::string OpenLogFilter(const NetList& nets);

}  // namespace tobrisk
