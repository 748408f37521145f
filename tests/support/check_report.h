// What the tests ask of a card check's report.
#pragma once

#include "sync/check.h"

namespace fenmora::testcard {

// No finding but information.
inline bool Clean(const CheckReport& report) {
  for (const CheckFinding& f : report.findings)
    if (!f.information) return false;
  return true;
}

}  // namespace fenmora::testcard
