#include "CheckedCall.h"

#if defined(__i386__)

namespace air {

// In assembly, because a compiled call sequence may adjust the stack pointer after the call as it likes, and
// would hide or fake the callee's share. The stack pointer the callee must leave is kept in %edi, which both
// conventions preserve, and the frame is rebuilt from %ebp, so the caller's stack is whole whatever the callee
// did to %esp. The arguments start on a 16-byte boundary, as compiled callers lay them out.
__attribute__((naked, noinline)) void* callMeasuringStack(const void* /*function*/, const uint32_t* /*arguments*/,
                                                          uint32_t /*count*/, int32_t* /*drift*/) {
    asm("pushl %ebp\n\t"
        "movl %esp, %ebp\n\t"
        "pushl %esi\n\t"
        "pushl %edi\n\t"
        "movl 16(%ebp), %ecx\n\t"  // count
        "movl 12(%ebp), %esi\n\t"  // arguments
        "leal 0(,%ecx,4), %eax\n\t"
        "subl %eax, %esp\n\t"
        "andl $-16, %esp\n\t"
        "movl %esp, %edi\n\t"
        "cld\n\t"
        "rep movsl\n\t"        // the arguments, first one lowest
        "movl %esp, %edi\n\t"  // where the callee must leave the stack pointer
        "call *8(%ebp)\n\t"    // function
        "movl %esp, %ecx\n\t"
        "subl %edi, %ecx\n\t"
        "movl 20(%ebp), %edx\n\t"  // drift
        "movl %ecx, (%edx)\n\t"
        "leal -8(%ebp), %esp\n\t"
        "popl %edi\n\t"
        "popl %esi\n\t"
        "popl %ebp\n\t"
        "ret");
}

}  // namespace air

#endif
