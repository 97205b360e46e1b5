// __chkstk: called by the compiler before a function reserves more than a page of stack, with
// the size in RAX. Windows commits a thread's stack one guard page at a time, so every page
// of the new frame is touched in order, from the caller's stack pointer down. The stack
// pointer itself is left alone and every register but the flags is preserved.
__asm__(
    ".text\n"
    ".globl __chkstk\n"
    "__chkstk:\n"
    "  pushq %rcx\n"
    "  pushq %rax\n"
    "  leaq 24(%rsp), %rcx\n"  // the caller's stack pointer, above the return address
    "1:\n"
    "  cmpq $0x1000, %rax\n"
    "  jb 2f\n"
    "  subq $0x1000, %rcx\n"
    "  testq %rcx, (%rcx)\n"
    "  subq $0x1000, %rax\n"
    "  jmp 1b\n"
    "2:\n"
    "  subq %rax, %rcx\n"
    "  testq %rcx, (%rcx)\n"
    "  popq %rax\n"
    "  popq %rcx\n"
    "  ret\n");
