// Calls into an extension that say whether the callee kept the C calling convention. The runtime calls every
// function an extension hands it with that convention, in which the caller removes the arguments. On 32-bit
// x86 a function built to remove its own (stdcall) leaves the caller's stack pointer off by the size of its
// arguments after every call, which need not crash at once; every call made here measures that. On x64 there
// is one convention only, so the call is a plain one.
#pragma once

#include <cstdint>
#include <type_traits>

namespace air {

#if defined(__i386__)
// Calls `function` with `count` 32-bit arguments laid out as the C convention lays them out, and stores in
// *drift how many bytes the call moved the stack pointer. Returns what the function left in %eax, where a
// handle comes back.
void* callMeasuringStack(const void* function, const uint32_t* arguments, uint32_t count, int32_t* drift);

template <typename T>
uint32_t stackWord(T value) {
    if constexpr (std::is_pointer_v<T>) {
        return reinterpret_cast<uintptr_t>(value);
    } else {
        return static_cast<uint32_t>(value);
    }
}
#endif

// Calls `function` as the runtime calls an extension and stores in *drift how far the call moved the caller's
// stack pointer: 0 under the C convention, the size of the arguments for a function that removes them itself.
template <typename Result, typename... Parameters>
Result callChecked(int32_t* drift, Result (*function)(Parameters...), std::type_identity_t<Parameters>... arguments) {
#if defined(__i386__)
    static_assert(sizeof...(Parameters) > 0 && (... && (sizeof(Parameters) == sizeof(uint32_t))),
                  "every argument of an extension's function fills one 32-bit stack slot");
    const uint32_t words[] = {stackWord(arguments)...};
    void* const returned =
        callMeasuringStack(reinterpret_cast<const void*>(function), words, sizeof...(Parameters), drift);
    if constexpr (!std::is_void_v<Result>) {
        static_assert(std::is_same_v<Result, void*>, "an extension's function returns a handle or nothing");
        return returned;
    }
#else
    *drift = 0;
    return function(arguments...);
#endif
}

}  // namespace air
