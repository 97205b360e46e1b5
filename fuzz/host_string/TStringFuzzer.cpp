// Random operation sequences on Util::TString, each string checked against a std::string
// model after every step: text, length, block bookkeeping, sharing by reference count, copy on
// write, and the shared empty string never written. At the end every block is given back.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstring>
#include <optional>
#include <string>

#include "FuzzSupport.h"
#include "TString.h"
#include "hostsim/HostSim.h"

namespace {

using corvane_fuzz::Require;
using Header = Util::TString::BlockHeader;

constexpr std::size_t kSlots = 4;
constexpr std::size_t kEmptyBlockBytes = 38;
// Appending a string to itself doubles it: texts stop growing here, past the 4096-byte steps.
constexpr std::size_t kMaxText = 3 * 4096;

struct Slot {
  std::optional<Util::TString> string;
  std::string model;
};

std::uint32_t WordAt(const Header* header, std::size_t offset) {
  std::uint32_t word = 0;
  std::memcpy(&word, reinterpret_cast<const unsigned char*>(header) + offset, sizeof word);
  return word;
}

// Text without NUL bytes, as every C string the operations take.
std::string Text(FuzzedDataProvider& input) {
  std::string text = input.ConsumeRandomLengthString(300);
  std::erase(text, '\0');
  return text;
}

// UTF-16 text of one- and two-byte UTF-8 characters, with its UTF-8 form (the code page of
// the process unless CORVANE_ACP says otherwise).
std::u16string Wide(FuzzedDataProvider& input, std::string& utf8) {
  std::u16string wide;
  const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 40);
  for (std::size_t index = 0; index < count; ++index) {
    const auto unit = input.ConsumeIntegralInRange<char16_t>(1, 0x7FF);
    wide.push_back(unit);
    if (unit < 0x80) {
      utf8.push_back(static_cast<char>(unit));
    } else {
      utf8.push_back(static_cast<char>(0xC0 | (unit >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
    }
  }
  return wide;
}

void CheckSlots(const std::array<Slot, kSlots>& slots, const unsigned char* emptyBefore) {
  const Header* empty = Util::TString::SharedEmptyHeader();
  Require(std::memcmp(empty, emptyBefore, kEmptyBlockBytes) == 0,
          "the shared empty string was written");
  for (std::size_t index = 0; index < kSlots; ++index) {
    const Slot& slot = slots[index];
    if (!slot.string) continue;
    const Util::TString& string = *slot.string;
    const std::string label = "slot " + std::to_string(index) + ": ";
    Require(std::string(static_cast<const char*>(string)) == slot.model,
            label + "text '" + std::string(static_cast<const char*>(string)) +
                "' differs from the model '" + slot.model + "'");
    Require(string.GetLength() == slot.model.size(), label + "GetLength");
    Require(string.IsEmpty() == slot.model.empty(), label + "IsEmpty");
    const Header* header = string.Header();
    if (header == empty) continue;
    Require(header->length == slot.model.size() + 1 || (slot.model.empty() && header->length == 0),
            label + "length field");
    Require(header->overhead == Util::TString::kOverhead, label + "overhead");
    Require(header->allocSize >= header->overhead + header->length, label + "block too small");
    Require((header->flags & Util::TString::kFlagStatic) == 0,
            label + "a static block besides the empty string");
    Require((header->flags & Util::TString::kFlagBufferHandedOut) == 0,
            label + "buffer still handed out");
    Require(WordAt(header, 24) == Util::TString::kGuard, label + "lead guard");
    Require(WordAt(header, header->allocSize - 4) == Util::TString::kGuard, label + "tail guard");
    std::size_t sharers = 0;
    for (const Slot& other : slots)
      sharers += other.string && other.string->Header() == header ? 1 : 0;
    Require(header->refCount == sharers, label + "reference count " +
                                             std::to_string(header->refCount) + " for " +
                                             std::to_string(sharers) + " sharers");
  }
}

void Apply(FuzzedDataProvider& input, std::array<Slot, kSlots>& slots) {
  Slot& target = slots[input.ConsumeIntegralInRange<std::size_t>(0, kSlots - 1)];
  Slot& source = slots[input.ConsumeIntegralInRange<std::size_t>(0, kSlots - 1)];
  if (!target.string) target.string.emplace();
  if (!source.string) source.string.emplace();
  Util::TString& string = *target.string;
  if (target.model.size() + source.model.size() > kMaxText) {
    string.Empty();
    target.model.clear();
  }
  const int operation = input.ConsumeIntegralInRange(0, 11);
  switch (operation) {
    case 0:
    case 2:
    case 8:
    case 10: {  // a text assigned, appended, formatted or constructed from
      const std::string text = Text(input);
      if (operation == 0) string = text.c_str();
      if (operation == 2) string += text.c_str();
      if (operation == 8) string.Format("%s", text.c_str());
      if (operation == 10) target.string.emplace(text.c_str());
      target.model = operation == 2 ? target.model + text : text;
      break;
    }
    case 1:
      string = *source.string;
      target.model = source.model;
      break;
    case 3: {
      const std::string added = source.model;  // the source may be the target
      string += *source.string;
      target.model += added;
      break;
    }
    case 4:
      string.Empty();
      target.model.clear();
      break;
    case 5: {  // copy construction; the source may be the target
      const Util::TString copy(*source.string);
      target.string.emplace(copy);
      target.model = source.model;
      break;
    }
    case 6: {  // a suffix of its own text, assigned and appended
      const std::size_t from = input.ConsumeIntegralInRange<std::size_t>(0, target.model.size());
      const std::string suffix = target.model.substr(from);
      if (input.ConsumeBool()) {
        string = static_cast<const char*>(string) + from;
        target.model = suffix;
      } else {
        string += static_cast<const char*>(string) + from;
        target.model += suffix;
      }
      break;
    }
    case 7: {  // direct writing into the buffer, within its capacity
      char* buffer = string.GetBuffer();
      const Header* header = string.Header();
      const std::size_t capacity = header->allocSize - header->overhead;
      std::string written = Text(input);
      written.resize(std::min(written.size(), capacity - 1));
      std::memcpy(buffer, written.c_str(), written.size() + 1);
      string.ReleaseBuffer();
      target.model = written;
      break;
    }
    case 9: {
      std::string utf8;
      const std::u16string wide = Wide(input, utf8);
      target.string.emplace(wide.c_str());
      target.model = utf8;
      break;
    }
    default:
      target.string.reset();
      target.model.clear();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const unsigned char* const emptyBlock = [] {
    static unsigned char snapshot[kEmptyBlockBytes];
    const Util::TString made;  // the shared empty string exists from here on
    std::memcpy(snapshot, made.Header(), kEmptyBlockBytes);
    return snapshot;
  }();
  const auto liveBefore = hostsim::GetMemoryStats().liveBlocks;
  FuzzedDataProvider input(data, size);
  {
    std::array<Slot, kSlots> slots;
    while (input.remaining_bytes() > 0) {
      Apply(input, slots);
      CheckSlots(slots, emptyBlock);
    }
  }
  Require(hostsim::GetMemoryStats().liveBlocks == liveBefore, "host string blocks leaked");
  return 0;
}
