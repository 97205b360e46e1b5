// Any bytes as the service's answer, through the module's whole answer path: decoding,
// parsing, selection, the message file and the recorded checksum. After each answer: no file
// outside the messages folder and no temporary file left; the recorded checksum changes only
// together with a message file of exactly that name, which holds the XML declaration followed
// by the message set.
#include <cstddef>
#include <cstdint>
#include <string>

#include "CorvaneConfiguration.h"
#include "FuzzProfile.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const corvane_fuzz::FuzzProfile profile("answer");
  profile.Reset("previous");

  // The reading hands on text up to a zero byte; an answer holds none.
  std::string body(reinterpret_cast<const char*>(data), size);
  std::erase(body, '\0');
  try {
    CorvaneConfiguration::GetInstance()->ProcessResponse(body.c_str());
  } catch (...) {
    corvane_fuzz::Fail("ProcessResponse raised an exception");
  }
  profile.CheckStore("previous");
  return 0;
}
