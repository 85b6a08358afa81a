// Plain UTF-8 text: per message one header line (board, number, writer, date,
// title), its text, and an empty line.
#include "core/export/export_writers.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk::export_detail {

void WriteText(ExportRun& run, OutputFile& out) {
  run.PrepareTexts(nullptr, run.Indices());
  std::string m;
  FieldUtf8 utf8;
  BoardLabels boards;
  size_t done = 0;
  for (size_t index : run.Indices()) {
    const MessageEntry& e = run.Entry(index);
    const ExportDate date = run.Date(index);
    m.clear();
    // ■ BBS12:雑談 #Fc.00345 【handle】 2026/12/07 title
    m += "\u25a0 ";
    if (e.IsMail()) {
      m += "MAIL";
    } else {
      m.append(boards.Of(e)).append(" ");
      AppendMessageLabel(e, m);
    }
    m.append(" \u3010").append(utf8.Of(e.writer_handle.View())).append("\u3011 ");
    AppendDateText(date, m);
    m.append(" ").append(utf8.Of(e.title.View())).append("\n");
    out.Write(m);
    out.Write(run.NextText());
    out.Write("\n");
    run.Done(++done);
  }
}

}  // namespace tobrisk::export_detail
