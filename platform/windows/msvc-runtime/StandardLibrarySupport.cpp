// The out-of-line pieces of libc++'s exception classes, type_info and number formatting that
// a libc++ built for this ABI would supply. The compiler's RTTI data has the Microsoft layout
// that libc++'s Microsoft-ABI std::type_info reads.
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <typeinfo>

extern "C" {
// vcruntime140.dll: the readable name of a type descriptor, cached in its own list.
struct __type_info_node {
  void* memory;
  __type_info_node* next;
};
const char* __cdecl __std_type_info_name(const void* data, __type_info_node* root);
}

namespace {
// The runtime keeps the names it makes in a lock-free list headed here, which it updates with
// a 16-byte compare-and-swap: the head must be 16-byte aligned.
alignas(16) __type_info_node typeNameCache{nullptr, nullptr};

// A counted copy of an exception's message: the count sits before the text, so copies of an
// exception share the text and what() stays valid as long as any of them lives.
struct CountedText {
  std::size_t references;
  char text[1];
};

CountedText* CountedFrom(const char* text) {
  return reinterpret_cast<CountedText*>(const_cast<char*>(text) - offsetof(CountedText, text));
}
}  // namespace

namespace std {

// ---- exceptions -----------------------------------------------------------------------------
exception::~exception() noexcept = default;
const char* exception::what() const noexcept { return "std::exception"; }
bad_exception::~bad_exception() noexcept = default;
const char* bad_exception::what() const noexcept { return "std::bad_exception"; }
bad_alloc::bad_alloc() noexcept = default;
bad_alloc::~bad_alloc() noexcept = default;
const char* bad_alloc::what() const noexcept { return "std::bad_alloc"; }
bad_array_new_length::bad_array_new_length() noexcept = default;
bad_array_new_length::~bad_array_new_length() noexcept = default;
const char* bad_array_new_length::what() const noexcept { return "bad_array_new_length"; }
bad_cast::bad_cast() noexcept = default;
bad_cast::~bad_cast() noexcept = default;
const char* bad_cast::what() const noexcept { return "std::bad_cast"; }
bad_typeid::bad_typeid() noexcept = default;
bad_typeid::~bad_typeid() noexcept = default;
const char* bad_typeid::what() const noexcept { return "std::bad_typeid"; }

void terminate() noexcept { std::abort(); }
[[noreturn]] void __throw_bad_alloc() { throw bad_alloc(); }

// ---- counted messages of logic_error and runtime_error ----------------------------------------
__libcpp_refstring::__libcpp_refstring(const char* message) {
  const std::size_t length = std::strlen(message);
  auto* counted =
      static_cast<CountedText*>(::operator new(offsetof(CountedText, text) + length + 1));
  counted->references = 1;
  std::memcpy(counted->text, message, length + 1);
  __imp_ = counted->text;
}
__libcpp_refstring::__libcpp_refstring(const __libcpp_refstring& other) noexcept
    : __imp_(other.__imp_) {
  __atomic_add_fetch(&CountedFrom(__imp_)->references, 1, __ATOMIC_RELAXED);
}
__libcpp_refstring& __libcpp_refstring::operator=(const __libcpp_refstring& other) noexcept {
  __libcpp_refstring copy(other);
  const char* mine = __imp_;
  __imp_ = copy.__imp_;
  copy.__imp_ = mine;
  return *this;
}
__libcpp_refstring::~__libcpp_refstring() {
  CountedText* counted = CountedFrom(__imp_);
  if (__atomic_sub_fetch(&counted->references, 1, __ATOMIC_ACQ_REL) == 0) {
    ::operator delete(counted);
  }
}

#define CORVANE_MESSAGE_EXCEPTION(name, base) name::~name() noexcept = default;
logic_error::logic_error(const char* message) : __imp_(message) {}
logic_error::logic_error(const string& message) : __imp_(message.c_str()) {}
logic_error::logic_error(const logic_error& other) noexcept
    : exception(other), __imp_(other.__imp_) {}
logic_error& logic_error::operator=(const logic_error& other) noexcept {
  __imp_ = other.__imp_;
  return *this;
}
logic_error::~logic_error() noexcept = default;
const char* logic_error::what() const noexcept { return __imp_.c_str(); }
runtime_error::runtime_error(const char* message) : __imp_(message) {}
runtime_error::runtime_error(const string& message) : __imp_(message.c_str()) {}
runtime_error::runtime_error(const runtime_error& other) noexcept
    : exception(other), __imp_(other.__imp_) {}
runtime_error& runtime_error::operator=(const runtime_error& other) noexcept {
  __imp_ = other.__imp_;
  return *this;
}
runtime_error::~runtime_error() noexcept = default;
const char* runtime_error::what() const noexcept { return __imp_.c_str(); }
CORVANE_MESSAGE_EXCEPTION(domain_error, logic_error)
CORVANE_MESSAGE_EXCEPTION(invalid_argument, logic_error)
CORVANE_MESSAGE_EXCEPTION(length_error, logic_error)
CORVANE_MESSAGE_EXCEPTION(out_of_range, logic_error)
CORVANE_MESSAGE_EXCEPTION(range_error, runtime_error)
CORVANE_MESSAGE_EXCEPTION(overflow_error, runtime_error)
CORVANE_MESSAGE_EXCEPTION(underflow_error, runtime_error)
#undef CORVANE_MESSAGE_EXCEPTION

// ---- type_info ---------------------------------------------------------------------------------
type_info::~type_info() {}
const char* type_info::name() const noexcept {
  return __std_type_info_name(&__data, &typeNameCache);
}
size_t type_info::hash_code() const noexcept {
  // FNV-1a over the decorated name, which is what identifies a type across modules.
  std::uint64_t hash = 14695981039346656037ull;
  for (const char* c = __data.__decorated_name; *c != 0; ++c) {
    hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
  }
  return hash;
}
int type_info::__compare(const type_info& other) const noexcept {
  return this == &other ? 0 : std::strcmp(__data.__decorated_name, other.__data.__decorated_name);
}

}  // namespace std

// ---- integer formatting for to_chars
// -------------------------------------------------------------
_LIBCPP_BEGIN_NAMESPACE_STD
namespace __itoa {
char* __u64toa(uint64_t value, char* buffer) noexcept {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count > 0) {
    *buffer++ = digits[--count];
  }
  return buffer;
}
char* __u32toa(uint32_t value, char* buffer) noexcept { return __u64toa(value, buffer); }
}  // namespace __itoa

namespace {
template <class Integer>
string Decimal(Integer value) {
  char digits[24];
  const auto written = to_chars(digits, digits + sizeof digits, value);
  return string(digits, written.ptr);
}
}  // namespace

string to_string(int value) { return Decimal(value); }
string to_string(long value) { return Decimal(value); }
string to_string(long long value) { return Decimal(value); }
string to_string(unsigned value) { return Decimal(value); }
string to_string(unsigned long value) { return Decimal(value); }
string to_string(unsigned long long value) { return Decimal(value); }
_LIBCPP_END_NAMESPACE_STD
