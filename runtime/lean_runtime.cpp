// The shipped executables' own allocation and termination. The C++ runtime's
// versions throw std::bad_alloc and print the demangled type of an uncaught
// exception, which links the exception runtime and the demangler into a
// program whose code never throws. Running out of memory still ends the
// program, as an uncaught bad_alloc would.
#include <cstdlib>
#include <exception>
#include <new>

void* operator new(std::size_t size) {
    void* memory = std::malloc(size ? size : 1);
    if (!memory) {
        std::abort();
    }
    return memory;
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete[](void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

// The library's containers report misuse and exhaustion through these; in a
// program built without exceptions they can only end it. Defining every one
// the program reaches keeps the library's throwing versions, and with them the
// exception runtime, out of the executable; one that is missed here shows as
// a duplicate definition at link time.
namespace std {
void __throw_bad_alloc() {
    std::abort();
}
void __throw_bad_array_new_length() {
    std::abort();
}
void __throw_length_error(const char*) {
    std::abort();
}
void __throw_logic_error(const char*) {
    std::abort();
}
void __throw_out_of_range(const char*) {
    std::abort();
}
void __throw_out_of_range_fmt(const char*, ...) {
    std::abort();
}
void __throw_invalid_argument(const char*) {
    std::abort();
}
void __throw_bad_function_call() {
    std::abort();
}
// A failed bounds check of the library's containers: the program ends rather
// than read or write past the end, without the library's message writer.
void __glibcxx_assert_fail(const char*, int, const char*, const char*) noexcept {
    std::abort();
}
}  // namespace std

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
