#include "convert/jpeg_errors.h"

namespace fenmora::convert {

namespace {

extern "C" void FatalError(j_common_ptr cinfo) {
  JpegErrors& err = JpegErrors::Of(cinfo);
  (*cinfo->err->format_message)(cinfo, err.fatalText);
  std::longjmp(err.jump, 1);
}

extern "C" void KeepMessage(j_common_ptr cinfo, int msgLevel) {
  if (msgLevel >= 0) return;  // trace messages
  if (cinfo->err->num_warnings == 0) (*cinfo->err->format_message)(cinfo, JpegErrors::Of(cinfo).firstWarning);
  cinfo->err->num_warnings++;
}

extern "C" void SilentOutput(j_common_ptr) {}

}  // namespace

jpeg_error_mgr* JpegErrors::Install() {
  jpeg_error_mgr* mgr = jpeg_std_error(&pub);
  pub.error_exit = FatalError;
  pub.emit_message = KeepMessage;
  pub.output_message = SilentOutput;
  return mgr;
}

}  // namespace fenmora::convert
