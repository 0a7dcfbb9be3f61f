// Replacements for corners of the static C++ runtime, linked into korvana-setup.exe
// only (never into the tests, which rely on real exceptions). The executable is
// built without exceptions, RTTI or unwind tables (see CMakeLists.txt); these
// replacements keep the runtime's exception machinery out of it altogether.
//
// The program catches no exception: running out of memory, or a text operation
// asked for more than a string can hold, ends the process. The runtime's own way
// there drags in a great deal that the program never shows anyone:
//  - the verbose terminate handler prints the exception's demangled type name, which
//    links the whole demangler;
//  - the std::__throw_* helpers build std::logic_error and its kin, whose messages
//    are reference-counted narrow strings, which link a second and third string
//    implementation (and std::random_device, through the same object file);
//  - the library's operator new throws std::bad_alloc, which links the unwinder and
//    the exception personality routine.
// Here each of them ends the process at once, as the uncaught exception would have,
// with ERROR_NOT_ENOUGH_MEMORY as the exit code. The runtime's abort() is avoided on
// purpose: in a GUI program it puts up a modal "abnormal termination" box, which
// would hang an unattended (silent) run.
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

namespace {

constexpr int kExitOutOfMemory = 8;  // ERROR_NOT_ENOUGH_MEMORY

[[noreturn]] void EndProcess() { std::_Exit(kExitOutOfMemory); }

}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() { EndProcess(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_exception() { EndProcess(); }
void __throw_bad_alloc() { EndProcess(); }
void __throw_bad_array_new_length() { EndProcess(); }
void __throw_bad_cast() { EndProcess(); }
void __throw_bad_typeid() { EndProcess(); }
void __throw_logic_error(const char*) { EndProcess(); }
void __throw_domain_error(const char*) { EndProcess(); }
void __throw_invalid_argument(const char*) { EndProcess(); }
void __throw_length_error(const char*) { EndProcess(); }
void __throw_out_of_range(const char*) { EndProcess(); }
void __throw_out_of_range_fmt(const char*, ...) { EndProcess(); }
void __throw_runtime_error(const char*) { EndProcess(); }
void __throw_range_error(const char*) { EndProcess(); }
void __throw_overflow_error(const char*) { EndProcess(); }
void __throw_underflow_error(const char*) { EndProcess(); }
}  // namespace std

// Allocation: malloc, or the end of the process. No new-handler is ever installed,
// so there is nothing to retry.
void* operator new(std::size_t size) {
  void* block = std::malloc(size != 0 ? size : 1);
  if (block == nullptr) EndProcess();
  return block;
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

// The library's compiled std::wstring is one object file with unwind tables, and
// under the MinGW linker an object's unwind tables keep alive every function they
// describe: calling any member would link all of them, some 35 KB. Instantiated
// here instead, with this program's flags (no unwind tables, a section per
// function), only the members the program calls survive --gc-sections, and the
// library's copy is never linked. The library's headers declare this very
// instantiation extern; its own copy is made the same way.
template class std::basic_string<wchar_t>;
