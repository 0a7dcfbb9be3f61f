// Tokens and their owners: the values that cross the seam in place of handles, the
// status a call reports, and the owner that gives a token back exactly once. Every
// interface header includes this one.
#pragma once

#include <cstdint>

namespace korvana {

// A Win32 or Windows Installer status code, 0 for success.
using Status = std::uint32_t;

// What a read of a text or a value came to: when `ok`, `value` holds it; else `status`
// is the error reported (0 where none was) and `value` what the read left, if anything.
template <class T>
struct [[nodiscard]] Read {
  bool ok = false;
  T value{};
  Status status = 0;
};

// Handles cross the seam as tokens, one distinct type for each kind, so that a
// registry key cannot be passed where a file or an Internet handle is expected. The
// value of a token is the handle's; a token of 0 (Token{}) stands for none. A token
// handed out and dropped is a handle lost, so none may be ignored.
enum class [[nodiscard]] WindowToken : std::uintptr_t {};    // a window handle
enum class [[nodiscard]] IconToken : std::uintptr_t {};      // an icon handle
enum class [[nodiscard]] FileToken : std::uintptr_t {};      // an open file
enum class [[nodiscard]] KeyToken : std::uintptr_t {};       // an open registry key
enum class [[nodiscard]] MsiToken : std::uint32_t {};       // a Windows Installer handle
enum class [[nodiscard]] ServiceToken : std::uintptr_t {};   // an SC_HANDLE
enum class [[nodiscard]] ThreadToken : std::uintptr_t {};    // a thread handle
enum class [[nodiscard]] InternetToken : std::uintptr_t {};  // an HINTERNET
enum class [[nodiscard]] LibraryToken : std::uintptr_t {};   // an HMODULE

// Whether a token holds a handle.
template <class Token>
constexpr bool IsOpen(Token token) {
  return token != Token{};
}

// Who owns a message box or a dialog.
enum class Owner { None, OwnerWindow };

// Owns one token that a service hands out (a registry key, a package handle, a
// thread) and gives it back through `CloseToken` exactly once, on every way out; a
// token of none is not given back. Movable, never copied: the token has one owner.
// Its verbs are win32::UniqueHandle's: get, put, reset, release.
template <class Service, class Token, void (Service::*CloseToken)(Token)>
class ScopedToken {
 public:
  explicit ScopedToken(Service& service, Token token = Token{}) : service_(&service), token_(token) {}
  ScopedToken(const ScopedToken&) = delete;
  ScopedToken& operator=(const ScopedToken&) = delete;
  ScopedToken(ScopedToken&& other) noexcept : service_(other.service_), token_(other.release()) {}
  ScopedToken& operator=(ScopedToken&& other) noexcept {
    if (this != &other) {
      reset();
      service_ = other.service_;
      token_ = other.release();
    }
    return *this;
  }
  ~ScopedToken() { reset(); }

  Token get() const { return token_; }
  // The slot for a call that hands out a token; whatever was held before is given
  // back first, so a reused owner never loses a handle.
  Token* put() {
    reset();
    return &token_;
  }
  // Gives the token back now rather than at the end of the scope.
  void reset() {
    if (IsOpen(token_)) (service_->*CloseToken)(token_);
    token_ = Token{};
  }
  // Hands the token over without giving it back.
  [[nodiscard]] Token release() {
    const Token token = token_;
    token_ = Token{};
    return token;
  }
  explicit operator bool() const { return IsOpen(token_); }

 private:
  Service* service_;
  Token token_;
};

}  // namespace korvana
