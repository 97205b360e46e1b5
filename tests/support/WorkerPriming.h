// Puts the single worker into a known state between tests: an empty request URL and a given
// checksum, read from the data INI file the way the request driver reads it.
#pragma once

#include <string>

#include "HostProfile.h"

namespace corvane_test {

// Runs a handshake with no placement configuration: the URL is emptied, the checksum is
// read from the INI file and nothing is sent. Leaves an evaluator registered and the log
// empty.
inline void PrimeWorker(const HostProfile& profile, const std::string& checksum) {
  corvane_test::fs::remove(profile.placementFolder / "TSMCnfg.XML");
  profile.RecordCheckSum(checksum);
  hostsim::SetEvaluatorKind(hostsim::EvaluatorKind::Evaluator);
  Worker().TSMFirstHandShake();
  hostsim::ClearLog();
}

}  // namespace corvane_test
