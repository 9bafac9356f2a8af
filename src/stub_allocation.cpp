// setup.exe's own global allocation functions. The stub allocates with the
// non-throwing new only; the C++ runtime's versions wrap it in a try block and
// bring the exception machinery, the demangler and printf into the image
// (about 100 KB). These take memory from the process heap instead: the
// non-throwing new returns null on failure, the throwing one (never used by the
// stub) does the same rather than throw.
#include <windows.h>

#include <new>

void* operator new(size_t size, const std::nothrow_t&) noexcept {
  return HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
}

void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }

void* operator new(size_t size) { return operator new(size, std::nothrow); }

void* operator new[](size_t size) { return operator new(size, std::nothrow); }

void operator delete(void* block) noexcept {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

void operator delete[](void* block) noexcept { operator delete(block); }

void operator delete(void* block, size_t) noexcept { operator delete(block); }

void operator delete[](void* block, size_t) noexcept { operator delete(block); }

void operator delete(void* block, const std::nothrow_t&) noexcept { operator delete(block); }

void operator delete[](void* block, const std::nothrow_t&) noexcept { operator delete(block); }
