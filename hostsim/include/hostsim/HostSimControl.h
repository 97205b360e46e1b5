/* The stand-in host's control surface as a C interface, for programs built with another C++
 * ABI than the host libraries. It offers what hostsim/HostSim.h offers; only C types cross it.
 *
 * Results: every function returns a HostSimStatus; HOSTSIM_OK means it did what was asked.
 * Otherwise HostSim_VisitLastError tells why; arguments are checked first, so a refused
 * argument changes nothing. Values come back through out-pointers, which must not be null.
 * Flags passed in are true when nonzero; flags given back are 0 or 1.
 *
 * Text: NUL-terminated, in the host's ANSI code page, as the host's C++ side takes it.
 * Strings handed to a callback belong to this library and are valid only during that call of
 * the callback; copy what is needed later. Nothing this library allocates is ever freed by the
 * caller, and nothing the caller allocates is freed here.
 *
 * Threads: every function may be called from any thread. The thread that runs messages
 * (HostSim_RunPendingMessages, HostSim_RunMessagesUntil) is the host thread. Callbacks are
 * called with no lock of this library held, so they may call HostSim_ functions.
 *
 * Callbacks must not throw or otherwise unwind out of themselves: an exception cannot cross
 * this interface. Catch everything inside the callback and report it by other means. */
#ifndef HOSTSIM_HOSTSIMCONTROL_H
#define HOSTSIM_HOSTSIMCONTROL_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#if defined(HOSTSIM_CONTROL_BUILDING)
#define HOSTSIM_CONTROL_API __declspec(dllexport)
#else
#define HOSTSIM_CONTROL_API __declspec(dllimport)
#endif
#else
#define HOSTSIM_CONTROL_API __attribute__((visibility("default")))
#endif

/* The platform's VARIANT (Windows SDK, or platform/Win32Api.h on Linux) is struct tagVARIANT. */
struct tagVARIANT;

/* A UTF-16 code unit: the platform's WCHAR. */
#if defined(_WIN32)
typedef wchar_t HostSimWideChar;
#elif defined(__cplusplus)
typedef char16_t HostSimWideChar;
#else
typedef uint_least16_t HostSimWideChar;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- results ------------------------------------------------------------------------ */
typedef int32_t HostSimStatus;
enum {
  HOSTSIM_OK = 0,
  HOSTSIM_INVALID_ARGUMENT = 1, /* a required pointer was null or a value out of range */
  HOSTSIM_OUT_OF_MEMORY = 2,
  HOSTSIM_HOST_EXCEPTION = 3, /* host code raised its exception (e.g. a notification handler) */
  HOSTSIM_FAILED = 4          /* any other failure */
};

/* Describes the most recent call on this thread that did not return HOSTSIM_OK: its status
 * and a message that is never null (empty when no call has failed yet). */
typedef void (*HostSimErrorVisitor)(HostSimStatus status, const char* message, void* context);
HOSTSIM_CONTROL_API HostSimStatus HostSim_VisitLastError(HostSimErrorVisitor visit, void* context);

/* Called once per text of a list, in order. */
typedef void (*HostSimTextVisitor)(const char* text, void* context);

/* ---- log ---------------------------------------------------------------------------- */
typedef struct HostSimLogRecord {
  int32_t level;
  int32_t eventType;
  const char* file; /* never null in this struct (an absent part is empty) */
  int32_t line;
  const char* function;
  const char* signature;
  const char* text;
} HostSimLogRecord;

typedef void (*HostSimLogRecordVisitor)(const HostSimLogRecord* record, void* context);

/* Every record so far, oldest first, from a snapshot taken when the call starts. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_ForEachLogRecord(HostSimLogRecordVisitor visit,
                                                           void* context);
HOSTSIM_CONTROL_API HostSimStatus HostSim_ClearLog(void);

/* Called for every record as it is written, on the thread that writes it (possibly several
 * at once). A null observer removes it. A call already under way when the observer is
 * replaced or removed may still finish afterwards with the old observer and context. */
typedef void (*HostSimLogObserver)(const HostSimLogRecord* record, void* context);
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetLogObserver(HostSimLogObserver observer,
                                                         void* context);

/* ---- host configuration ------------------------------------------------------------- */
/* Null: the host names no data INI file. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetDataIniFileName(const char* path);
/* A separator is appended if missing. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetBaseDirectory(const char* directory);
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetLaunchApproval(int32_t approved);

typedef struct HostSimApprovalRequest {
  int32_t feature;
  int32_t action;
  int32_t interactive; /* 0 or 1 */
} HostSimApprovalRequest;
typedef void (*HostSimApprovalRequestVisitor)(const HostSimApprovalRequest* request, void* context);
/* Every approval asked for, in order. */
HOSTSIM_CONTROL_API HostSimStatus
HostSim_ForEachApprovalRequest(HostSimApprovalRequestVisitor visit, void* context);

/* A failure HRESULT: the DOM factory returns it without creating a document; S_OK (0)
 * restores the real factory. */
// The data INI file as the host keeps it (no request is recorded). Read calls visit once with
// the value, or not at all when the key is absent.
HOSTSIM_CONTROL_API HostSimStatus HostSim_ReadProfileValue(const char* section, const char* key,
                                                           const char* iniFile,
                                                           HostSimTextVisitor visit, void* context);
HOSTSIM_CONTROL_API HostSimStatus HostSim_WriteProfileValue(const char* section, const char* key,
                                                            const char* value, const char* iniFile);

HOSTSIM_CONTROL_API HostSimStatus HostSim_SetDomFactoryResult(int32_t result);
HOSTSIM_CONTROL_API HostSimStatus HostSim_GetDomDocumentsCreated(uint32_t* count);

/* While set, the host's string formatter returns null. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetFormatterFails(int32_t fails);

/* A profile-string read or write; a null pointer is an absent part. */
typedef struct HostSimProfileRequest {
  int32_t write; /* 0: read, 1: write */
  const char* section;
  const char* key;
  const char* value;  /* the default of a read, the value of a write */
  const char* result; /* what a read left in the buffer */
  uint64_t bufferSize;
  const char* iniFile;
  const char* sourceFile;
  int32_t sourceLine;
} HostSimProfileRequest;
typedef void (*HostSimProfileRequestVisitor)(const HostSimProfileRequest* request, void* context);
HOSTSIM_CONTROL_API HostSimStatus HostSim_ForEachProfileRequest(HostSimProfileRequestVisitor visit,
                                                                void* context);

/* ---- current user and preferences --------------------------------------------------- */
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetCurrentUserPresent(int32_t present);
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetPreferenceStorePresent(int32_t present);
/* Stored as a VT_BSTR. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetPreference(const char* name, const char* value);
/* Any VARIANT; a copy is stored, the caller keeps and clears its own. A VARIANT that cannot
 * be copied (an unknown type, no memory) is refused and nothing is stored. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetPreferenceVariant(const char* name,
                                                               const struct tagVARIANT* value);
HOSTSIM_CONTROL_API HostSimStatus HostSim_ClearPreferences(void);
/* The preference names asked for, in order. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_ForEachPreferenceRequest(HostSimTextVisitor visit,
                                                                   void* context);

/* ---- condition evaluator ------------------------------------------------------------ */
enum {
  HOSTSIM_EVALUATOR_NONE = 0,         /* nothing registered under the evaluator's name */
  HOSTSIM_EVALUATOR_OTHER_OBJECT = 1, /* an object of another type registered there */
  HOSTSIM_EVALUATOR_EVALUATOR = 2
};
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetEvaluatorKind(int32_t kind);

/* What a condition or variable reports instead of success. */
typedef struct HostSimFailure {
  int64_t code;           /* 0 would read as success and is reported as -1 */
  const char* message;    /* null: empty */
  int32_t throwException; /* raise the host's exception instead of returning a failed status */
} HostSimFailure;

/* A condition's result. */
enum {
  HOSTSIM_CONDITION_FALSE = 0,
  HOSTSIM_CONDITION_TRUE = 1,
  HOSTSIM_CONDITION_UNCHANGED = 2 /* the caller's flag is left as it was */
};
/* failure: null for none. A condition never set succeeds and leaves the flag unchanged. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetCondition(const char* name, int32_t result,
                                                       const HostSimFailure* failure);

/* The host's tagged value. The tag says which field counts:
 *   HOSTSIM_TAG_DOUBLE: real;  HOSTSIM_TAG_STRING: string;  HOSTSIM_TAG_WIDE_STRING: wideString
 *   (either may be null, which the value keeps as a null pointer);
 *   every other tag, known or not: bits, the value's raw 64 bits (an integer, or 0/1 for
 *   HOSTSIM_TAG_BOOL). The strings are copied. */
enum {
  HOSTSIM_TAG_EMPTY = 0x0000,
  HOSTSIM_TAG_NULL = 0x0001,
  HOSTSIM_TAG_INT8 = 0x0101,
  HOSTSIM_TAG_INT16 = 0x0102,
  HOSTSIM_TAG_INT32 = 0x0103,
  HOSTSIM_TAG_INT64 = 0x0104,
  HOSTSIM_TAG_LONG = 0x0105,
  HOSTSIM_TAG_UINT8 = 0x0201,
  HOSTSIM_TAG_UINT16 = 0x0202,
  HOSTSIM_TAG_UINT32 = 0x0203,
  HOSTSIM_TAG_UINT64 = 0x0204,
  HOSTSIM_TAG_ULONG = 0x0205,
  HOSTSIM_TAG_DOUBLE = 0x0401,
  HOSTSIM_TAG_BOOL = 0x0801,
  HOSTSIM_TAG_STRING = 0x2001,
  HOSTSIM_TAG_WIDE_STRING = 0x2002
};
typedef struct HostSimValue {
  uint32_t tag;
  int64_t bits;
  double real;
  const char* string;
  const HostSimWideChar* wideString;
} HostSimValue;
/* failure: null for none. A variable never set fails. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_SetVariable(const char* name, const HostSimValue* value,
                                                      const HostSimFailure* failure);
HOSTSIM_CONTROL_API HostSimStatus HostSim_ClearEvaluator(void);
/* The condition and variable names asked for, in order. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_ForEachEvaluatorRequest(HostSimTextVisitor visit,
                                                                  void* context);

/* ---- message sequence --------------------------------------------------------------- */
/* Timeouts are in milliseconds; below 0 counts as 0, and beyond HOSTSIM_TIMEOUT_MAX_MS (about
 * 100 years) as that. */
#define HOSTSIM_TIMEOUT_MAX_MS INT64_C(3155760000000)

HOSTSIM_CONTROL_API HostSimStatus HostSim_GetPendingMessageCount(uint64_t* count);
/* The class names of the queued messages, oldest first. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_ForEachPendingMessageType(HostSimTextVisitor visit,
                                                                    void* context);
/* Runs what is queued now; ran: how many. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_RunPendingMessages(uint64_t* ran);

/* Nonzero when the wait is over; called on the calling thread. */
typedef int (*HostSimDoneCallback)(void* context);
/* Runs messages as they arrive until done returns nonzero after a message (or at once), or
 * the timeout passes; finished: done's last answer, 0 or 1. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_RunMessagesUntil(HostSimDoneCallback done, void* context,
                                                           int64_t timeoutMs, int32_t* finished);
/* arrived: 1 when a message is queued within the timeout, else 0. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_WaitForMessage(int64_t timeoutMs, int32_t* arrived);
HOSTSIM_CONTROL_API HostSimStatus HostSim_DiscardPendingMessages(void);
HOSTSIM_CONTROL_API HostSimStatus HostSim_GetMessagesExecuted(uint64_t* count);
/* Messages whose Execute was left by an exception (caught and logged by the host). */
HOSTSIM_CONTROL_API HostSimStatus HostSim_GetMessagesFailed(uint64_t* count);

/* ---- notifications ------------------------------------------------------------------ */
HOSTSIM_CONTROL_API HostSimStatus HostSim_GetRegisteredNotificationCount(int32_t kind,
                                                                         uint64_t* count);
/* On the calling thread, to every registered handler. A handler that raises ends the
 * delivery with a failed status; handlers before it have been told. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_DeliverGoingBackground(void);

/* ---- memory ------------------------------------------------------------------------- */
typedef struct HostSimMemoryStats {
  uint64_t liveBlocks;
  uint64_t liveBytes; /* bytes asked for, without the checker's own header and guard */
  uint64_t allocations;
  uint64_t releases;
} HostSimMemoryStats;
HOSTSIM_CONTROL_API HostSimStatus HostSim_GetMemoryStats(HostSimMemoryStats* stats);

/* Back to a fresh host: empty log, no INI file, the current directory as base directory,
 * approval granted, user and store present and empty, no evaluator, no pending messages (they
 * are deleted unrun), the real DOM factory and formatter, no recorded requests. Registered
 * notification handlers, the log observer and the memory statistics stay. */
HOSTSIM_CONTROL_API HostSimStatus HostSim_Reset(void);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* HOSTSIM_HOSTSIMCONTROL_H */
