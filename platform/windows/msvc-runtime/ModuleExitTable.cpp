// atexit for this DLL: the compiler registers the destructors of global objects with it.
// They go into a table of the DLL's own, run when the DLL is unloaded; the process-wide list
// would call them after the DLL's code is gone. This file sees no C-runtime header, where
// atexit is declared as imported from the runtime DLL.
extern "C" {

using ExitFunction = void(__cdecl*)();
struct OnExitTable {
  ExitFunction* first;
  ExitFunction* last;
  ExitFunction* end;
};

// The Universal CRT's table helpers (ucrtbase.dll).
int __cdecl _initialize_onexit_table(OnExitTable* table);
int __cdecl _register_onexit_function(OnExitTable* table, ExitFunction function);
int __cdecl _execute_onexit_table(OnExitTable* table);

static OnExitTable moduleExitTable;

int __cdecl CorvaneInitialiseModuleExitTable() { return _initialize_onexit_table(&moduleExitTable); }
void __cdecl CorvaneRunModuleExitTable() { _execute_onexit_table(&moduleExitTable); }

int __cdecl atexit(ExitFunction function) {
  return _register_onexit_function(&moduleExitTable, function) == 0 ? 0 : -1;
}

}  // extern "C"
