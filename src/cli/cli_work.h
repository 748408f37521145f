// A movie's conversion run from the command line: in place, its progress on
// standard error when that is a terminal, and a line saying what was made.
#pragma once

#include <ostream>

#include "convert/handset_fit.h"

namespace fenmora::cli {

class CliWork : public convert::LongWork {
 public:
  explicit CliWork(std::ostream& err);
  void Run(const std::string& fileName,
           const std::function<void(const std::function<bool(double)>& report)>& work) override;
  void Note(const std::string& text) override;

 private:
  std::ostream& err_;
  bool terminal_;
};

}  // namespace fenmora::cli
