#include <iconv.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "CodePageInternal.h"

namespace platform::codepage {
namespace {

const char* IconvName(UINT codePage) {
  switch (codePage) {
    case 437: return "CP437";
    case 850: return "CP850";
    case 866: return "CP866";
    case 874: return "CP874";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    case 20127: return "ASCII";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28593: return "ISO-8859-3";
    case 28594: return "ISO-8859-4";
    case 28595: return "ISO-8859-5";
    case 28596: return "ISO-8859-6";
    case 28597: return "ISO-8859-7";
    case 28598: return "ISO-8859-8";
    case 28599: return "ISO-8859-9";
    case 28603: return "ISO-8859-13";
    case 28605: return "ISO-8859-15";
    default: return nullptr;
  }
}

class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  ~IconvHandle() {
    if (valid()) iconv_close(m_cd);
  }
  bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return m_cd; }

 private:
  iconv_t m_cd;
};

// The UTF-16 unit for one byte, or nothing when the page leaves the byte undefined (or maps
// it beyond the BMP, which no single-byte page does).
std::optional<char16_t> ConvertByte(const IconvHandle& cd, unsigned char byte) {
  iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
  char in[1] = {static_cast<char>(byte)};
  char out[8] = {};
  char* inPtr = in;
  char* outPtr = out;
  std::size_t inLeft = 1;
  std::size_t outLeft = sizeof out;
  if (iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
    return std::nullopt;
  }
  // Pages with combining marks may hold a base letter back until the next byte: flush it.
  iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft);
  if (sizeof out - outLeft != 2) return std::nullopt;
  return static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                               (static_cast<unsigned char>(out[1]) << 8));
}

}  // namespace

std::unique_ptr<SingleByteTable> SingleByteTable::Build(const char* iconvName) {
  IconvHandle cd("UTF-16LE", iconvName);
  if (!cd.valid()) return nullptr;
  std::unique_ptr<SingleByteTable> table(new SingleByteTable());
  table->m_toByte.fill(kUnmapped);
  for (unsigned b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    // Bytes the page leaves undefined pass through as the code point of the same value, as
    // Windows does for 0x81, 0x8D, 0x8F, 0x90 and 0x9D of windows-1252.
    const char16_t wide = ConvertByte(cd, byte).value_or(static_cast<char16_t>(byte));
    table->m_toWide[byte] = wide;
    if (table->m_toByte[wide] == kUnmapped) table->m_toByte[wide] = byte;
  }
  return table;
}

const SingleByteTable* SingleByteTable::For(UINT codePage) {
  const char* name = IconvName(codePage);
  if (name == nullptr) return nullptr;
  static std::mutex mutex;
  static std::map<UINT, std::unique_ptr<SingleByteTable>> tables;
  std::lock_guard lock(mutex);
  auto& slot = tables[codePage];
  if (!slot) slot = Build(name);
  return slot.get();
}

}  // namespace platform::codepage
