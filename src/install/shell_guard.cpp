#include "install/shell_guard.h"

#include <windows.h>

namespace {

// Where a fault resumes: the registers __builtin_setjmp keeps, and on 32-bit
// Windows the frame-based handler chain as it stood when the call began.
struct Guard {
  void* jump[5];
  DWORD thread;
  void* handlerChain;
};

Guard* volatile g_guard = nullptr;

#ifndef _WIN64
// The head of the thread's frame-based handler chain, fs:[0].
void* HandlerChain() {
  void* head;
  __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

void SetHandlerChain(void* head) { __asm__ volatile("movl %0, %%fs:0" : : "r"(head) : "memory"); }
#endif

bool IsProcessorFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      return true;
  }
  return false;
}

// Entered in place of the faulting instruction once the system has finished
// dispatching the fault, so the jump leaves no dispatcher frame half done.
__attribute__((noinline, noreturn)) void ReturnToGuard() {
  Guard* guard = g_guard;
#ifndef _WIN64
  // The frames the faulting code registered lie below the stack we return to.
  SetHandlerChain(guard->handlerChain);
#endif
  __builtin_longjmp(guard->jump, 1);
}

LONG CALLBACK TakeFault(EXCEPTION_POINTERS* fault) {
  Guard* guard = g_guard;
  if (guard == nullptr || guard->thread != GetCurrentThreadId() ||
      !IsProcessorFault(fault->ExceptionRecord->ExceptionCode)) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  // Continue in ReturnToGuard on the faulting stack, a little below the fault,
  // aligned as if it had been called there.
  CONTEXT* registers = fault->ContextRecord;
#ifdef _WIN64
  registers->Rsp = ((registers->Rsp - 256) & ~static_cast<DWORD64>(15)) - 8;
  registers->Rip = reinterpret_cast<DWORD64>(ReturnToGuard);
#else
  registers->Esp = ((registers->Esp - 256) & ~static_cast<DWORD>(15)) - 4;
  registers->Eip = reinterpret_cast<DWORD>(ReturnToGuard);
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

bool RunGuarded(void (*call)(void*), void* argument) {
  Guard guard = {};
  guard.thread = GetCurrentThreadId();
#ifndef _WIN64
  guard.handlerChain = HandlerChain();
#endif
  void* volatile handler = AddVectoredExceptionHandler(1, TakeFault);
  if (handler == nullptr) {
    call(argument);
    return true;
  }
  volatile bool returned = false;
  if (__builtin_setjmp(guard.jump) == 0) {
    g_guard = &guard;
    call(argument);
    returned = true;
  }
  g_guard = nullptr;
  RemoveVectoredExceptionHandler(handler);
  return returned;
}
