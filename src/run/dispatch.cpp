#include "run/dispatch.hpp"

#include "header/header_lines.hpp"
#include "packets/companion_lines.hpp"
#include "packets/csv_output.hpp"
#include "packets/d_packet.hpp"
#include "packets/i_packet.hpp"
#include "packets/n_packet.hpp"
#include "packets/pdlmt_packet.hpp"
#include "packets/station_output.hpp"
#include "packets/t_packet.hpp"
#include "packets/x_packet.hpp"
#include "positioning/gps_prescan.hpp"

namespace quillet {

namespace {
Flow dispatch_to_handler(LineKind kind, ProgramState& program, RunState& run, FileUnits& files,
                         Console& console);
}  // namespace

Flow dispatch_line(LineKind kind, ProgramState& program, RunState& run, FileUnits& files,
                   Console& console) {
  if (kind == LineKind::T || kind == LineKind::Pdlmt || kind == LineKind::D ||
      kind == LineKind::N) {
    run.reading_line = run.line_number;
  }
  const Flow flow = dispatch_to_handler(kind, program, run, files, console);
  // A new CSV file gets the files beside it at once, so that those of an earlier run under the
  // same name go even when it receives no reading.
  if (run.type == OutputType::C && (kind == LineKind::FileHeader || kind == LineKind::Pdlmt) &&
      flow == Flow::NextLine) {
    return follow_csv_file(program, run, files);
  }
  return flow;
}

namespace {

Flow dispatch_to_handler(LineKind kind, ProgramState& program, RunState& run, FileUnits& files,
                         Console& console) {
  StationWriter writer(program, run, files);
  switch (kind) {
    case LineKind::Config:
      return handle_config_line(
          run.LINE, program.station, program.identification, program.coils, program.comments,
          program.CN,
          {run.type, program.names.FILE_NAME, files.main, files.comment, program.typed_comment},
          console);
    case LineKind::FileHeader:
      return handle_file_header_line(
          run.LINE, run.line_number, program.station, program.coils, program.comments, program.CN,
          {run.type, program.names, files, run.FILE_COUNT, run.FILE_NAMES, run.gps_fix_count,
           run.xyx_record_count, program.DAT31_LAST_LINE},
          console);
    case LineKind::Offset:
      return handle_offset_line(run.LINE, program.station);
    case LineKind::Raw:
      return handle_raw_line(run.LINE, program.station, program.raw_copy, program.R_SEEN, files.raw,
                             run.record, console);
    case LineKind::Aux:
      return handle_aux_line(run.LINE, writer);
    case LineKind::Status:
      return handle_status_line(run.LINE, program.station, console);
    case LineKind::EndOfData:
      return Flow::NormalEnd;
    case LineKind::T:
      return handle_t_packet(run.LINE, program.station, program.coils, writer, console);
    case LineKind::Pdlmt:
      return handle_pdlmt_packet(run.LINE, program.station, program.coils, program.pdlmt, writer,
                                 console);
    case LineKind::D:
      return handle_d_packet(run.LINE, program.identification.SW_VERSION, program.station,
                             program.coils, writer, console);
    case LineKind::X:
      return handle_x_packet(run.LINE, program.station, program.coils, writer, console);
    case LineKind::N:
      return handle_n_packet(run.LINE, program.station, program.coils, writer, console);
    case LineKind::I:
      return handle_i_packet(run.LINE, program.station, program.ems,
                             program.identification.SW_VERSION, writer, console);
    case LineKind::Gps:
      return handle_gps_line(run.LINE, run.raw_line, program.gps.current_fix, files.gps,
                             run.gps_fix_count, run.record, console);
    case LineKind::Ignored:
      return Flow::NextLine;
  }
  return Flow::NextLine;  // every kind has its case above; the compiler checks that
}

}  // namespace

}  // namespace quillet
