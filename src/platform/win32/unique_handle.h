// Owners for Win32 handles: each closes its handle exactly once, on every way out of
// the scope that made it. Non-copyable, movable; one traits struct per handle kind
// says what "no handle" is and how to close one. The verbs are the seam's ScopedToken's:
// get, put, reset, release.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/win32/windows_api.h"

namespace korvana::win32 {

template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type value) : value_(value) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Type get() const { return value_; }
  bool valid() const { return value_ != Traits::Invalid(); }
  explicit operator bool() const { return valid(); }

  // The slot for a call that hands out a handle; whatever was held is closed first.
  Type* put() {
    reset();
    return &value_;
  }
  // Closes the handle held now, if any, and holds `value` instead.
  void reset(Type value = Traits::Invalid()) {
    if (valid()) Traits::Close(value_);
    value_ = value;
  }
  // Hands the handle over without closing it.
  [[nodiscard]] Type release() {
    Type value = value_;
    value_ = Traits::Invalid();
    return value;
  }

 private:
  Type value_ = Traits::Invalid();
};

// Kernel objects: processes, threads, tokens, files.
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::CloseHandle(h); }
};

// Files opened by CreateFileW, whose "no handle" is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};

// FindFirstFileW searches, whose "no handle" is INVALID_HANDLE_VALUE.
struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::FindClose(h); }
};

struct RegistryKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::RegCloseKey(h); }
};

// Modules this code loaded itself (LoadLibrary*), never GetModuleHandle results.
struct LoadedModuleTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::FreeLibrary(h); }
};

// Memory that a Win32 call allocated and the caller frees with LocalFree.
struct LocalMemoryTraits {
  using Type = HLOCAL;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::LocalFree(h); }
};

struct WindowTraits {
  using Type = HWND;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { ::DestroyWindow(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;
using UniqueLoadedModule = UniqueHandle<LoadedModuleTraits>;
using UniqueLocalMemory = UniqueHandle<LocalMemoryTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;

// Holds a critical section from here to the end of the scope.
class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CRITICAL_SECTION& section) : section_(section) {
    ::EnterCriticalSection(&section_);
  }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;
  ~CriticalSectionLock() { ::LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION& section_;
};

// A seam token's Win32 handle, and back: the token's value is the handle's.
template <class Handle, class Token>
Handle FromToken(Token token) {
  return reinterpret_cast<Handle>(static_cast<std::uintptr_t>(token));
}
template <class Token, class Handle>
Token ToToken(Handle handle) {
  return static_cast<Token>(reinterpret_cast<std::uintptr_t>(handle));
}

// An exported function of `module` as the pointer type the caller names; null when the
// module is null or does not export it.
template <typename Function>
Function FindExport(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace korvana::win32
