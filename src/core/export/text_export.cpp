// Plain UTF-8 text: per message one header line (board, number, writer, date,
// title), its text, and an empty line.
#include "core/export/export_writers.h"
#include "core/text/bytes.h"
#include "core/text/files.h"

namespace tobrisk::export_detail {

void WriteText(ExportRun& run, OutputFile& out) {
  const MessageList& messages = run.Messages();
  run.PrepareTexts(nullptr, run.Indices());
  std::string m;
  size_t done = 0;
  for (size_t index : run.Indices()) {
    const MessageEntry& e = messages[index];
    const ExportDate date = run.Date(index);
    m.clear();
    // ■ BBS12:雑談 #Fc.00345 【handle】 2026/12/07 title
    m += "\u25a0 ";
    if (e.IsMail()) {
      m += "MAIL";
    } else {
      m += BoardLabel(e) + " " + MessageLabel(e);
    }
    m += " \u3010" + Utf8(e.writer_handle.View()) + "\u3011 " + DateText(date) + " " + Utf8(e.title.View()) + "\n";
    out.Write(m);
    out.Write(run.NextText());
    out.Write("\n");
    run.Done(++done);
  }
}

}  // namespace tobrisk::export_detail
