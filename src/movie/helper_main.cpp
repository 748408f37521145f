// fenmora-movie: the movie work of fenmora and fenmora-cli in a process of
// its own, so that a fault inside FFmpeg's libraries ends only this process
// and the programs load those libraries only when a movie task comes.
//
//   fenmora-movie probe FILE
//   fenmora-movie preview FILE BOX-WIDTH BOX-HEIGHT
//   fenmora-movie convert SOURCE OUT SECONDS MAX-BYTES
//   fenmora-movie photo FILE BOX-WIDTH BOX-HEIGHT   (HEIC, AVIF)
//   fenmora-movie serve    (preview requests on standard input, one a line,
//                           until it ends)
//
// It answers on its standard output in the lines of helper_protocol.h and
// ends with 0; anything else (a signal, another status, no answer line) is a
// failure to the program that started it.
#include <sys/prctl.h>
#include <signal.h>

#include <chrono>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>

#include "movie/codec_work.h"
#include "movie/helper_protocol.h"

namespace {

using namespace fenmora::movie;

void Say(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

template <class T>
bool Number(std::string_view text, T& out) {
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
  return ec == std::errc() && ptr == text.data() + text.size();
}

int Usage() {
  std::fputs("usage: fenmora-movie probe FILE | preview FILE W H | photo FILE W H | convert SOURCE OUT SECONDS "
             "MAX-BYTES | serve\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "serve") {
    // Kept running by the program that started it, whichever of its threads
    // asks: it ends when the program closes its end (or ends).
    std::string line;
    while (std::getline(std::cin, line)) {
      const auto asked = wire::ParsePreviewRequest(line);
      Say(wire::PictureLine(asked ? codec::Preview(asked->file, asked->width, asked->height) : PreviewPicture{}));
    }
    return 0;
  }
  // One task: ends with the program that started it.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (argc < 3) return Usage();
  const std::string_view task = argv[1];
  const std::filesystem::path file = argv[2];
  if (task == "probe" && argc == 3) {
    Say(wire::FactsLine(codec::Probe(file)));
    return 0;
  }
  if ((task == "preview" || task == "photo") && argc == 5) {
    int w = 0, h = 0;
    if (!Number(argv[3], w) || !Number(argv[4], h) || w <= 0 || h <= 0 || w > wire::kMaxPictureSide ||
        h > wire::kMaxPictureSide)
      return Usage();
    Say(wire::PictureLine(task == "preview" ? codec::Preview(file, w, h) : codec::HeifPicture(file, w, h)));
    return 0;
  }
  if (task == "convert" && argc == 6) {
    double seconds = 0;
    HandsetMovie target;
    if (!Number(argv[4], seconds) || !(seconds > 0) || !Number(argv[5], target.maxBytes) || target.maxBytes <= 0)
      return Usage();
    // Progress at most every 100 ms, and whenever a percent more is done.
    auto last = std::chrono::steady_clock::now();
    double said = -1;
    const Converted done = codec::Convert(file, argv[3], seconds, [&](double share) {
      const auto now = std::chrono::steady_clock::now();
      if (share - said >= 0.01 || now - last >= std::chrono::milliseconds(100)) {
        Say(wire::ProgressLine(share));
        said = share;
        last = now;
      }
      return true;
    }, target);
    Say(wire::ResultLine(done));
    return 0;
  }
  return Usage();
}
