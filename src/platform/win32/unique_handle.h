// Owners for Win32 handles: each closes its handle exactly once, on every way out of
// the scope that made it. Non-copyable, movable; its traits say what "no handle" is
// and how to close one. The verbs are the seam's ScopedToken's: get, put, reset, release.
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

// One kind of handle: its type, the call that closes one, and what "no handle" is:
// null, or INVALID_HANDLE_VALUE for what CreateFileW and FindFirstFileW hand out.
template <typename T, auto CloseCall, bool kNoneIsMinusOne = false>
struct HandleTraits {
  using Type = T;
  static Type Invalid() {
    return kNoneIsMinusOne ? reinterpret_cast<Type>(INVALID_HANDLE_VALUE) : nullptr;
  }
  static void Close(Type h) { CloseCall(h); }
};

// Kernel objects: processes, threads, tokens, files.
using UniqueKernelHandle = UniqueHandle<HandleTraits<HANDLE, ::CloseHandle>>;
using UniqueFileHandle = UniqueHandle<HandleTraits<HANDLE, ::CloseHandle, true>>;
using UniqueFindHandle = UniqueHandle<HandleTraits<HANDLE, ::FindClose, true>>;
using UniqueRegistryKey = UniqueHandle<HandleTraits<HKEY, ::RegCloseKey>>;
// Modules this code loaded itself (LoadLibrary*), never GetModuleHandle results.
using UniqueLoadedModule = UniqueHandle<HandleTraits<HMODULE, ::FreeLibrary>>;
// Memory that a Win32 call allocated and the caller frees with LocalFree.
using UniqueLocalMemory = UniqueHandle<HandleTraits<HLOCAL, ::LocalFree>>;
using UniqueWindow = UniqueHandle<HandleTraits<HWND, ::DestroyWindow>>;

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
