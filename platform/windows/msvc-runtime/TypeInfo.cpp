// The virtual table of ::type_info, which every RTTI type descriptor the compiler emits
// points at; the Microsoft runtime DLLs do not export it, a Microsoft toolchain links it in.
// This file must not see <typeinfo>: this ::type_info is the compiler's, not libc++'s
// std::type_info.
class type_info {
public:
  type_info() noexcept;
  type_info(const type_info&) = delete;
  type_info& operator=(const type_info&) = delete;
  virtual ~type_info();

private:
  void* m_undecoratedName;
  char m_decoratedName[1];
};

// The Microsoft ABI emits a virtual table where a constructor uses it: this one exists only
// for that. Type descriptors are never constructed or destroyed at run time.
type_info::type_info() noexcept : m_undecoratedName(nullptr), m_decoratedName{} {}
type_info::~type_info() = default;
