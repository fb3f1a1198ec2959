// Runs the tests; a fault anywhere (an extension reading past its arguments, say) ends the program with a
// message and a failing status instead of a crash dialog that would never be answered.
#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>

namespace {

LONG WINAPI reportFault(EXCEPTION_POINTERS* fault) {
    const EXCEPTION_RECORD* record = fault->ExceptionRecord;
    std::fprintf(stderr, "\nFAULT: exception 0x%08lx at %p", record->ExceptionCode, record->ExceptionAddress);
    if (record->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record->NumberParameters >= 2) {
        std::fprintf(stderr, " (%s of address %p)", record->ExceptionInformation[0] ? "write" : "read",
                     reinterpret_cast<void*>(record->ExceptionInformation[1]));
    }
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv) {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(reportFault);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
