// The bare work of one activation done with Windows' own libraries, synchronously on the
// calling thread: the baseline that the Windows activation benchmark sets the module beside.
#pragma once

#include <string>

namespace corvane_bench {

// A WinINet GET of `url` on a session (and so a connection) of its own, an MSXML 6 parse of
// the answer, the selection of its message set and checksum, the set's markup written to a
// temporary file renamed over "<checksum>WebTSMFile.xmf" in `messagesFolder`, and the
// checksum written to `iniFile`. The calling thread must be in a COM apartment. False when
// any step fails.
bool DoBareWork(const std::string& url, const std::string& messagesFolder,
                const std::string& iniFile);

}  // namespace corvane_bench
