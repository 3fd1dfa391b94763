/* The process entry point, in place of the C library's start files: theirs call the start
 * routine of the build machine's C library (2.34 and later), which older systems lack. This one
 * asks for the oldest x86-64 version of it, so that the launcher starts on any glibc since 2.17
 * and can say that the rest of the bundle cannot. */
#if defined(__x86_64__)

__asm__(".symver __libc_start_main,__libc_start_main@GLIBC_2.2.5");

/* Per the x86-64 ABI: %rdx holds the loader's finalizer, the stack argc, argv and the
 * environment. The start routine sets up the C library and calls main. */
__asm__(
    ".text\n"
    ".globl _start\n"
    ".type _start,@function\n"
    "_start:\n"
    "  xor %ebp, %ebp\n"
    "  mov %rdx, %r9\n"
    "  pop %rsi\n"
    "  mov %rsp, %rdx\n"
    "  and $-16, %rsp\n"
    "  push %rax\n"
    "  push %rsp\n"
    "  xor %r8d, %r8d\n"
    "  xor %ecx, %ecx\n"
    "  lea main(%rip), %rdi\n"
    "  call *__libc_start_main@GOTPCREL(%rip)\n"
    "  hlt\n"
    ".size _start, .-_start\n");

#endif
