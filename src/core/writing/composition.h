// Writing a message in the external editor: a new message to a board, a new
// mail to a member, a reply ("res"), a reply mail, a moved reply ("移動レス")
// and editing a written message again. Each operation prepares the composition
// file, runs the editor (the windows stay live meanwhile), checks the result and
// records it in the write list. They report to the user themselves.
#pragma once

#include <cstddef>

#include "core/writing/writing_view.h"

namespace tobrisk {

struct Ports;
struct WorkState;

// `board_index` / `user_index` / `message_index` / `write_index` are 0-based
// positions (the grid's SeqNo or SerialNo minus 1); an index that names no
// record does nothing.
void NewMessage(WorkState& state, const Ports& ports, WritingView& view, size_t board_index);
void NewMail(WorkState& state, const Ports& ports, WritingView& view, size_t user_index);
void ResMessage(WorkState& state, const Ports& ports, WritingView& view, size_t message_index, ReplyOrigin origin);
void ResMail(WorkState& state, const Ports& ports, WritingView& view, size_t message_index, ReplyOrigin origin);
void MoveResMessage(WorkState& state, const Ports& ports, WritingView& view, size_t message_index, ReplyOrigin origin);
// `from_popup`: started from the write list's pop-up menu, which shows the file
// again in the view pane afterwards.
void EditMessage(WorkState& state, const Ports& ports, WritingView& view, size_t write_index, bool from_popup);

}  // namespace tobrisk
