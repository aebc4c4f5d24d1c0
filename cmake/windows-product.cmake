# What the shipped Windows executables link, so that they start on the oldest
# systems they are for: Windows 98 SE and NT 4.0 (i686), XP x64 and Server
# 2003 x64 (x86_64).
#
# The -posix compilers of the toolchain files are what GoogleTest needs; their
# C++ runtime brings winpthread, which imports functions that only Vista (and
# on i686 NT 4 or XP) export. The product code uses no threads, so its
# executables link the same compiler's win32-thread-model runtime instead,
# which rests on critical sections that every Windows has. -no-pthread keeps
# winpthread out: any thread call that slipped into the product would then fail
# the link rather than the user's start-up.

execute_process(
    COMMAND ${VANTREL_MINGW_TRIPLET}-gcc-win32 -print-libgcc-file-name
    OUTPUT_VARIABLE vantrel_win32_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE vantrel_win32_status)
if(NOT vantrel_win32_status EQUAL 0 OR NOT EXISTS "${vantrel_win32_libgcc}")
    message(FATAL_ERROR "${VANTREL_MINGW_TRIPLET}-gcc-win32 not found: the product needs the "
        "win32 thread-model runtime (Debian: g++-mingw-w64-*-win32)")
endif()
get_filename_component(VANTREL_WIN32_RUNTIME_DIR "${vantrel_win32_libgcc}" DIRECTORY)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(VANTREL_SUBSYSTEM_VERSION 4.0)
else()
    set(VANTREL_SUBSYSTEM_VERSION 5.02)
endif()
string(REPLACE "." ";" vantrel_subsystem "${VANTREL_SUBSYSTEM_VERSION}")
list(GET vantrel_subsystem 0 vantrel_subsystem_major)
list(GET vantrel_subsystem 1 vantrel_subsystem_minor)

# Code that goes into the product: small, and with no exception or type
# information tables, since nothing in it throws. Static locals need no lock
# on a program with one thread. The library's assertions bound every index
# into its containers (a failure ends the program, runtime/lean_runtime.cpp); they
# also have std::string's members compiled into the code that uses them, with
# these options, instead of linked from the library's one object, which brings
# all its members with their unwind tables and exception handlers. A failed
# check aborts without the texts of a message (runtime/lean_assert.h).
set(VANTREL_PRODUCT_COMPILE_OPTIONS
    -Oz -ffunction-sections -fdata-sections
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti -fno-threadsafe-statics
    -D_GLIBCXX_ASSERTIONS -include ${PROJECT_SOURCE_DIR}/runtime/lean_assert.h>)
# No unwind tables either: nothing in the product throws, and nothing it
# calls unwinds (a stack guard failure, a failed assertion and abort() end
# the process without unwinding). On i686 they were DWARF tables that only a
# thrown exception reads, a third of each executable. On x86_64 they are the
# system's (.pdata/.xdata, for structured exceptions and debuggers): without
# them a crash still ends the process, but its frames cannot be walked; in
# exchange the linker can drop unused functions again (it keeps every one
# that has unwind data), 9.7 KB of vantrel-report.exe.
list(APPEND VANTREL_PRODUCT_COMPILE_OPTIONS -fno-asynchronous-unwind-tables -fno-unwind-tables)

# The stack protector, with the guard and failure handler of our own: the
# toolchain's libssp is not linked (see runtime/stack_guard.cpp). Every program
# that links product code, the tests included, gets them with it.
add_library(vantrel_stack_guard STATIC ${PROJECT_SOURCE_DIR}/runtime/stack_guard.cpp)
target_compile_options(vantrel_stack_guard PRIVATE ${VANTREL_PRODUCT_COMPILE_OPTIONS})

function(vantrel_product_code target)
    target_compile_options(${target} PRIVATE ${VANTREL_PRODUCT_COMPILE_OPTIONS}
        -fstack-protector-strong)
    target_link_libraries(${target} PUBLIC vantrel_stack_guard)
endfunction()

function(vantrel_windows_product target)
    vantrel_product_code(${target})
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        # The start-up code's structured exception handler: XP x64's msvcrt.dll
        # is documented to export it, its kernel32.dll is not. Named before
        # the default libraries, msvcrt is where the linker finds it first.
        target_link_libraries(${target} PRIVATE msvcrt)
    endif()
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/runtime/lean_runtime.cpp
        ${PROJECT_SOURCE_DIR}/runtime/lean_runtime_stdio.cpp)
    target_link_options(${target} PRIVATE
        -L${VANTREL_WIN32_RUNTIME_DIR} -no-pthread -s -Wl,--gc-sections
        -Wl,--major-subsystem-version,${vantrel_subsystem_major}
        -Wl,--minor-subsystem-version,${vantrel_subsystem_minor}
        -Wl,--major-os-version,${vantrel_subsystem_major}
        -Wl,--minor-os-version,${vantrel_subsystem_minor})
endfunction()
