// The per-net board and member files: WorkDir + LogHeader + ".BRD" / ".USR",
// tab-separated, one record per line, CR LF.
#pragma once

#include <string>
#include <string_view>

#include "core/boards/board_entry.h"

namespace tobrisk {

class Prompter;

std::string BoardFilePath(const std::string& work_dir, std::string_view log_header);
std::string UserFilePath(const std::string& work_dir, std::string_view log_header);

// Append the records of the file to the list. A missing file is reported through
// the prompter ("[" + LogHeader + ".BRD] ファイルが見つかりませんでした。") and
// leaves the list unchanged. Lines with fewer TABs load with the missing middle
// fields empty. Throw IoError on a read failure.
void ReadBoardFile(BoardList& boards, const std::string& work_dir, std::string_view log_header, Prompter& prompter);
void ReadUserFile(UserList& users, const std::string& work_dir, std::string_view log_header, Prompter& prompter);

// Appends the records of the net's .BRD and .USR files, each only when it
// exists, so that no missing-file box appears (the caller empties the lists).
void ReadExistingBoardUserFiles(BoardList& boards, UserList& users, const std::string& work_dir,
                                std::string_view log_header, Prompter& prompter);

// Rewrite the file from the whole list (atomically). Throw IoError.
void WriteBoardFile(const BoardList& boards, const std::string& work_dir, std::string_view log_header);
void WriteUserFile(const UserList& users, const std::string& work_dir, std::string_view log_header);

}  // namespace tobrisk
