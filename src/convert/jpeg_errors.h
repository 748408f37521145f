// libjpeg's error manager with a way back, for every use of libjpeg in the
// program (the preview's decoder, the handset picture's encoder). libjpeg's
// stock one prints to stderr and calls exit(); this one longjmps to the
// caller's setjmp on a fatal error and prints nothing: it keeps the fatal
// message and the first warning instead.
#pragma once

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first

#include <jpeglib.h>

namespace fenmora::convert {

struct JpegErrors {
  jpeg_error_mgr pub{};  // first: libjpeg's pointer to it is a pointer to the whole
  std::jmp_buf jump{};
  char fatalText[JMSG_LENGTH_MAX] = {};
  char firstWarning[JMSG_LENGTH_MAX] = {};
  const char* ownError = nullptr;  // set by the caller's own checks instead of libjpeg's

  // Sets the manager up; the result goes into cinfo.err.
  jpeg_error_mgr* Install();
  // Ends the work as libjpeg's fatal errors do, for a reason of the caller's.
  [[noreturn]] void Fail(const char* why) {
    ownError = why;
    std::longjmp(jump, 1);
  }
  // The manager of a libjpeg object whose cinfo.err came from Install.
  static JpegErrors& Of(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrors*>(cinfo->err); }
};

}  // namespace fenmora::convert
