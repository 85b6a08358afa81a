// Plain UTF-8 text: per message one header line (board, number, writer, date,
// title), its text, and an empty line.
#include "core/export/export_writers.h"
#include "core/text/bytes.h"
#include "core/text/files.h"
#include "core/text/sjis.h"

namespace tobrisk::export_detail {

void WriteText(ExportRun& run, OutputFile& out) {
  run.PrepareTexts(nullptr, run.Indices());
  ByteBuilder m;
  FieldUtf8 utf8;
  BoardLabels boards;
  size_t done = 0;
  for (size_t index : run.Indices()) {
    const MessageEntry& e = run.Entry(index);
    const ExportDate date = run.Date(index);
    m.Clear();
    // ■ BBS12:雑談 #Fc.00345 【handle】 2026/12/07 title
    m.Put("\u25a0 ");
    if (e.IsMail()) {
      m.Put("MAIL");
    } else {
      m.Put(boards.Of(e));
      m.Put(' ');
      AppendMessageLabel(e, m);
    }
    m.Put(" \u3010");
    m.Put(utf8.Of(e.writer_handle.View()));
    m.Put("\u3011 ");
    AppendDateText(date, m);
    m.Put(' ');
    m.Put(utf8.Of(e.title.View()));
    m.Put('\n');
    out.Write(m.View());
    out.Write(run.NextText());
    out.Write("\n");
    run.Done(++done);
  }
}

}  // namespace tobrisk::export_detail
