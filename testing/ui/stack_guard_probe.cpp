// A program built as the product is, for the stack protector's test:
//   stack_guard_probe guard        ends with the guard's low 32 bits
//   stack_guard_probe smash TEXT   copies TEXT into an 8-byte buffer
#include <cstdint>
#include <cstdio>
#include <cstring>

extern "C" std::uintptr_t __stack_chk_guard;

namespace {

__attribute__((noinline)) int CopyIntoSmallBuffer(const char* text) {
    char buffer[8];
    // Byte by byte, with a length the compiler cannot see, as an unchecked
    // copy of a drive's text would.
    const std::size_t length = std::strlen(text);
    for (std::size_t i = 0; i < length; ++i) {
        reinterpret_cast<volatile char*>(buffer)[i] = text[i];
    }
    return buffer[0];
}

}  // namespace

int main(int argc, char** argv) {
    char mode[16] = "";
    if (argc > 1) {
        std::snprintf(mode, sizeof mode, "%s", argv[1]);
    }
    if (std::strcmp(mode, "guard") == 0) {
        const std::uint64_t guard = __stack_chk_guard;
        return static_cast<int>(static_cast<std::uint32_t>(guard ^ (guard >> 32)));
    }
    if (std::strcmp(mode, "smash") == 0 && argc > 2) {
        CopyIntoSmallBuffer(argv[2]);
        std::puts("returned");
        return 0;
    }
    return 2;
}
