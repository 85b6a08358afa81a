#include "core/boards/board_files.h"

#include <vector>

#include "core/ports/prompter.h"
#include "core/text/files.h"
#include "core/text/line_reader.h"
#include "core/text/sjis.h"

namespace tobrisk {
namespace {

// Splits a line into `columns` fields: each TAB closes a field; the first
// columns-1 closed fields fill the leading columns, later closed fields are
// dropped, and the text after the last TAB is the last column.
std::vector<std::string> SplitColumns(std::string_view line, size_t columns) {
  std::vector<std::string> fields(columns);
  size_t closed = 0;
  size_t start = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '\t') continue;
    if (closed < columns - 1) fields[closed] = std::string(line.substr(start, i - start));
    ++closed;
    start = i + 1;
  }
  fields[columns - 1] = std::string(line.substr(start));
  return fields;
}

template <typename OnLine>
bool ReadRecords(const std::string& path, std::string_view display_name, Prompter& prompter, OnLine on_line) {
  if (!FileExists(path)) {
    static const std::string not_found = Sjis("] ファイルが見つかりませんでした。");
    prompter.Error("[" + std::string(display_name) + not_found);
    return false;
  }
  LineReader reader(path);
  std::string_view line;
  while (reader.Next(line)) on_line(line);
  return true;
}

}  // namespace

std::string BoardFilePath(const std::string& work_dir, std::string_view log_header) {
  return WorkFilePath(work_dir, std::string(log_header) + ".BRD");
}

std::string UserFilePath(const std::string& work_dir, std::string_view log_header) {
  return WorkFilePath(work_dir, std::string(log_header) + ".USR");
}

void ReadBoardFile(BoardList& boards, const std::string& work_dir, std::string_view log_header, Prompter& prompter) {
  ReadRecords(BoardFilePath(work_dir, log_header), std::string(log_header) + ".BRD", prompter,
              [&](std::string_view line) {
                auto f = SplitColumns(line, 4);
                boards.push_back({std::move(f[0]), std::move(f[1]), std::move(f[2]), std::move(f[3])});
              });
}

void ReadUserFile(UserList& users, const std::string& work_dir, std::string_view log_header, Prompter& prompter) {
  ReadRecords(UserFilePath(work_dir, log_header), std::string(log_header) + ".USR", prompter,
              [&](std::string_view line) {
                auto f = SplitColumns(line, 3);
                users.push_back({std::move(f[0]), std::move(f[1]), std::move(f[2])});
              });
}

void ReadExistingBoardUserFiles(BoardList& boards, UserList& users, const std::string& work_dir,
                                std::string_view log_header, Prompter& prompter) {
  if (FileExists(BoardFilePath(work_dir, log_header))) ReadBoardFile(boards, work_dir, log_header, prompter);
  if (FileExists(UserFilePath(work_dir, log_header))) ReadUserFile(users, work_dir, log_header, prompter);
}

void WriteBoardFile(const BoardList& boards, const std::string& work_dir, std::string_view log_header) {
  WriteFileAtomically(BoardFilePath(work_dir, log_header), [&](OutputFile& out) {
    for (const BoardEntry& b : boards) {
      out.WriteLine(b.seq_no + "\t" + b.board_no + "\t" + b.board_type + "\t" + b.board_name);
    }
  });
}

void WriteUserFile(const UserList& users, const std::string& work_dir, std::string_view log_header) {
  WriteFileAtomically(UserFilePath(work_dir, log_header), [&](OutputFile& out) {
    for (const UserEntry& u : users) out.WriteLine(u.seq_no + "\t" + u.user_id + "\t" + u.handle_name);
  });
}

}  // namespace tobrisk
