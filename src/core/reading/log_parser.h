// Recognition of the host's screens in NOESC.LOG: board headers, mail screens
// and message headers, by exact bytes at fixed 1-based byte columns.
#pragma once

#include <string>
#include <vector>

#include "core/reading/escape_filter.h"  // EscapeFreeSink

namespace tobrisk {

class MessageList;
class Progress;
struct WorkState;

// Reads `path` (the capture line model) and appends one entry per message
// header to `messages`, in file order, SeqNo counting from 1. Progress: label
// "ログファイル読み込み中...", position per line read at the top of the loop.
// Throws IoError when the file cannot be read.
void ParseLog(const std::string& path, MessageList& messages, Progress& progress);

// CutEscapes(inputs, output) and ParseLog(output) in one pass over the inputs,
// without progress: the same entries, and to `sink` (when there is one) the
// bytes CutEscapes would have written. For the command-line tool, which shows no
// progress and leaves the work folder's NOESC.LOG to the program. Throws IoError.
void ParseLogWhileCuttingEscapes(const std::vector<std::string>& inputs, EscapeFreeSink sink, MessageList& messages);

// ParseLog on WorkDir + "NOESC.LOG" into state.messages.
void ParseLog(WorkState& state, Progress& progress);

}  // namespace tobrisk
