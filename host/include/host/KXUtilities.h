// KXUtilities: the host's utility library as the module sees it (logging, raising,
// status, variant, base directories, system objects, text files, DOM factory, profile
// strings, string allocator and memory manager).
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "TString.h"
#include "platform/Win32Api.h"

namespace Util {

// ---- logging -------------------------------------------------------------------------
class Ops {
 public:
  enum Level : int { LevelInfo = 0, LevelError = 3 };
  enum EventType : int { EventError = 5, EventProgress = 6 };

  // One log line: constructed with its level, event type and source position, called once
  // with a printf format and its arguments, then destroyed.
  class MessageFunctor {
   public:
    MessageFunctor(Ops& ops, int level, int eventType, const char* file, int line,
                   const char* function, const char* signature);
    ~MessageFunctor();
    MessageFunctor(const MessageFunctor&) = delete;
    MessageFunctor& operator=(const MessageFunctor&) = delete;
    void operator()(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

   private:
    Ops& m_ops;
    int m_level;
    int m_eventType;
    const char* m_file;
    int m_line;
    const char* m_function;
    const char* m_signature;
  };

  virtual ~Ops();
  virtual void Write(int level, int eventType, const char* file, int line, const char* function,
                     const char* signature, const char* text) = 0;
};

Ops& GetOps();

// ---- status and raising --------------------------------------------------------------
class Status {
 public:
  Status();
  Status(long statusCode, const TString& message);
  Status(const Status& other);
  Status& operator=(const Status& other);
  ~Status();

  static const Status& GetSucceeded();
  bool Succeeded() const;
  bool Failed() const;
  long GetStatusCode() const;
  const TString& GetStatusMessage() const;

 private:
  long m_statusCode;
  TString m_message;
};

class Exception {
 public:
  explicit Exception(const Status& status);
  Exception(const Exception& other);
  Exception& operator=(const Exception& other);
  virtual ~Exception();
  const Status& GetStatus() const;

 private:
  Status m_status;
};

class SourceContext {
 public:
  SourceContext(const char* file, int line, const char* function, const char* signature);
  const char* m_file;
  int m_line;
  const char* m_function;
  const char* m_signature;
};

class LocalOps {
 public:
  explicit LocalOps(const SourceContext& context);
  ~LocalOps();
  LocalOps(const LocalOps&) = delete;
  LocalOps& operator=(const LocalOps&) = delete;
  const SourceContext& Context() const { return m_context; }

  // Raises a Util::Exception whose status carries the code and the formatted message.
  class ThrowStatusCodeFunctor {
   public:
    ThrowStatusCodeFunctor(LocalOps& localOps, int line);
    [[noreturn]] void operator()(long statusCode, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;

   private:
    // The host's layout; a host may raise without reading them.
    [[maybe_unused]] LocalOps& m_localOps;
    [[maybe_unused]] int m_line;
  };

 private:
  SourceContext m_context;
};

// ---- the host's tagged value ---------------------------------------------------------
// The evaluator fills it; the module reads the tag and the value field. A Variant owns
// the strings it holds (copies are deep).
class Variant {
 public:
  enum Tag : std::uint32_t {
    TagEmpty = 0x0000,
    TagNull = 0x0001,
    TagInt8 = 0x0101,
    TagInt16 = 0x0102,
    TagInt32 = 0x0103,
    TagInt64 = 0x0104,
    TagLong = 0x0105,
    TagUInt8 = 0x0201,
    TagUInt16 = 0x0202,
    TagUInt32 = 0x0203,
    TagUInt64 = 0x0204,
    TagULong = 0x0205,
    TagDouble = 0x0401,
    TagBool = 0x0801,
    TagString = 0x2001,
    TagWideString = 0x2002,
  };
  union Value {
    std::int64_t integer;
    double real;
    unsigned char boolean;
    char* string;
    WCHAR* wideString;
  };

  Variant();
  Variant(const Variant& other);
  Variant& operator=(const Variant& other);
  ~Variant();

  std::uint32_t GetType() const { return m_type; }
  const Value& GetValue() const { return m_value; }

  // Host side: filling the variant.
  void SetInteger(std::uint32_t tag, std::int64_t value);
  void SetDouble(double value);
  void SetBool(bool value);
  void SetString(const char* value);                  // null stays a null pointer
  void SetWideString(const WCHAR* value);             // null stays a null pointer
  void SetRaw(std::uint32_t tag, std::int64_t bits);  // any tag, value bits as given
  void Clear();

 private:
  std::uint32_t m_type;
  Value m_value;
};

// ---- base directories ----------------------------------------------------------------
class ReDirectFile {
 public:
  enum DirectoryId : int { BaseDirectory = 1 };
  static ReDirectFile& GetReDirectFileInstance();
  virtual ~ReDirectFile();
  // The directory for the id, ending with the path separator.
  virtual TString GetDirectoryFromId(int id) = 0;
};

// ---- system objects ------------------------------------------------------------------
class Object {
 public:
  virtual ~Object();
};

class SystemObjectRegistrar {
 public:
  static SystemObjectRegistrar& instance();
  virtual ~SystemObjectRegistrar();
  virtual Object* GetSystemObject(const char* name) = 0;
};

// ---- DOM factory ---------------------------------------------------------------------
namespace MSXML_XML {
HRESULT CreateDOMDocument(IXMLDOMDocument2** document);
}

// ---- strings and memory --------------------------------------------------------------
enum CaseSensitivity : int { CaseSensitive = 0, CaseInsensitive = 1 };
int CompareStrings(const char* a, const char* b, CaseSensitivity sensitivity);

// A new C string, or null; the caller frees it with GetMemoryManager().Free.
char* FormatStringV(const char* format, va_list arguments);

void* TStringAllocatorMemAllocate(std::size_t& size);
void TStringAllocatorMemRelease(void* block, std::size_t size);

class IMemoryManager {
 public:
  virtual ~IMemoryManager();
  virtual void* Allocate(std::size_t size) = 0;
  virtual void Free(void* block) = 0;
  // Resizes the block keeping its contents; the block may move.
  virtual bool Reallocate(void*& block, std::size_t newSize) = 0;
};
IMemoryManager& GetMemoryManager();

}  // namespace Util

namespace FileSystem {
Util::Status ReadTextFile(const Util::TString& path, Util::TString& text);
}

// Profile strings plus the caller's source position.
DWORD _UtilGetPrivateProfileString(const char* section, const char* key, const char* defaultValue,
                                   char* buffer, DWORD bufferSize, const char* iniFile,
                                   const char* sourceFile, int sourceLine);
BOOL _UtilWritePrivateProfileString(const char* section, const char* key, const char* value,
                                    const char* iniFile, const char* sourceFile, int sourceLine);
