#include "ModuleLibrary.h"

namespace corvane::host {

void ModuleLibrary::Call(EntryPoint entry) const {
  void* symbol = Symbol(ExportName(entry));
  if (entry == EntryPoint::InvokeWebTsm) {
    reinterpret_cast<Entry>(symbol)();
    return;
  }
  // A non-virtual member without data: called as a function whose only argument is the
  // object, which OnFirstTimeSetup never reads.
  using Member = void (*)(void* self);
  struct {
  } manager;
  reinterpret_cast<Member>(symbol)(&manager);
}

}  // namespace corvane::host
