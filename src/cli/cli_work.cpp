#include "cli/cli_work.h"

#include <unistd.h>

#include <cmath>
#include <iostream>

#include "convert/movie_texts.h"

namespace fenmora::cli {

CliWork::CliWork(std::ostream& err)
    : err_(err), terminal_(&err == &std::cerr && isatty(STDERR_FILENO) == 1) {}

void CliWork::Run(const std::string& fileName,
                  const std::function<void(const std::function<bool(double)>&)>& work) {
  if (!terminal_) return work([](double) { return true; });
  int shown = -1;
  work([&](double share) {
    const int percent = static_cast<int>(std::floor(share * 100));
    if (percent != shown) {
      shown = percent;
      err_ << "\r" << texts::kMovieConverting << fileName << " " << percent << "%" << std::flush;
    }
    return true;
  });
  err_ << "\r\033[K" << std::flush;  // the progress line gives way to what follows
}

void CliWork::Note(const std::string& text) { err_ << text << "\n"; }

}  // namespace fenmora::cli
