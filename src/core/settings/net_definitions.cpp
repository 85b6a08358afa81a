#include "core/settings/net_definitions.h"

#include "core/ports/prompter.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

const std::string& NetFileMissing() {
  static const std::string text = Sjis("[NET.TDT] ファイルが見つかりませんでした。");
  return text;
}

NetDefinition ParseNetLine(std::string_view line) {
  NetDefinition net;
  std::string* fields[3] = {&net.log_header, &net.net_name, &net.handle_name};
  size_t field = 0;
  size_t start = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\t') continue;
    if (field < 3) *fields[field] = std::string(line.substr(start, i - start));
    ++field;  // a fourth and later field ended by a TAB is dropped
    start = i + 1;
  }
  net.up_file_header = std::string(line.substr(start));
  return net;
}

}  // namespace

const std::string& NetList::Field(int index, NetField field) const {
  const NetDefinition& n = At(index);
  switch (field) {
    case NetField::LogHeader: return n.log_header;
    case NetField::NetName: return n.net_name;
    case NetField::HandleName: return n.handle_name;
    case NetField::UpFileHeader: return n.up_file_header;
  }
  return n.log_header;
}

void NetList::SetField(int index, NetField field, std::string value) {
  const_cast<std::string&>(static_cast<const NetList&>(*this).Field(index, field)) = std::move(value);
}

void NetList::Delete(int index) {
  if (Contains(index)) nets_.erase(nets_.begin() + index);
}

void LoadNetDefinitions(NetList& nets, const std::string& work_dir, Prompter& prompter) {
  const std::string path = work_dir + std::string(kNetFileName);
  if (!FileExists(path)) {
    prompter.Error(NetFileMissing());
    return;
  }
  LineReader reader(path);
  std::string_view line;
  while (reader.Next(line)) nets.Append(ParseNetLine(line));
}

void SaveNetDefinitions(const NetList& nets, const std::string& work_dir) {
  WriteFileAtomically(work_dir + std::string(kNetFileName), [&](OutputFile& out) {
    for (const NetDefinition& n : nets.All()) {
      out.Write(n.log_header);
      out.Write("\t");
      out.Write(n.net_name);
      out.Write("\t");
      out.Write(n.handle_name);
      out.Write("\t");
      out.WriteLine(n.up_file_header);
    }
  });
}

void ClearNetList(NetList& nets) { nets.Clear(); }

bool RefusedWithoutNets(const NetList& nets, Prompter& prompter) {
  static const std::string text = Sjis("ネット設定を先に行って下さい。");
  if (!nets.Empty()) return false;
  prompter.Error(text);
  return true;
}

int FindNetByLogHeader(const NetList& nets, std::string_view header) {
  for (int i = 0; i < nets.Count(); ++i) {
    const NetDefinition& net = nets.At(i);
    if (!net.RecognisesLogs()) continue;
    const std::string& h = net.log_header;
    if (header.substr(0, h.size()) == UpperAscii(h)) return i;
  }
  return -1;
}

std::string OpenLogFilter(const NetList& nets) {
  static const std::string log_file_open = Sjis("ログファイル(");
  static const std::string tail = Sjis("全てのログファイル(*.LOG)|*.LOG|全てのファイル(*.*)|*.*");
  std::string filter;
  for (const NetDefinition& n : nets.All()) {
    if (!n.RecognisesLogs()) continue;
    filter += n.net_name;
    filter += log_file_open;
    filter += n.log_header + "*.LOG)|" + n.log_header + "*.LOG|";
  }
  filter += tail;
  return filter;
}

}  // namespace tobrisk
