/* The 64-bit call boundary of RunGuarded (FaultGuardWindows.cpp).
 *
 * int zumbrel_guarded_call(void (*function)(void*), void* context, void* fault)
 *
 * Calls function(context) and answers 1. The thunk's unwind data names
 * zumbrel_guard_handler as its exception handler, so the system's dispatcher asks it about
 * every exception that no frame of the called code handles. The handler finds `fault` at
 * [frame + 32] (the frame being the stack pointer after this prologue), and unwinds the
 * frames inside to zumbrel_guard_resume with RtlUnwindEx: the thunk then answers 0. */
    .text
    .p2align 4
    .globl zumbrel_guarded_call
    .def zumbrel_guarded_call; .scl 2; .type 32; .endef
    .globl zumbrel_guard_resume
    .seh_proc zumbrel_guarded_call
zumbrel_guarded_call:
    subq $40, %rsp              /* the callee's 32 bytes of home space, then `fault` */
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler zumbrel_guard_handler, @except
    movq %r8, 32(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    movl $1, %eax
    addq $40, %rsp
    ret
zumbrel_guard_resume:           /* RtlUnwindEx lands here with the stack of the body above */
    xorl %eax, %eax
    addq $40, %rsp
    ret
    .seh_endproc
