/* The 32-bit call boundary of RunGuarded (FaultGuardWindows.cpp).
 *
 * int __cdecl zumbrel_guarded_call(void (*function)(void*), void* context, void* fault)
 *
 * Pushes a handler record on the thread's chain at fs:[0] (next, handler, then `fault`, read
 * by the handler at [record + 8]), calls function(context), takes the record off again and
 * answers 1. The system's dispatcher asks zumbrel_guard_handler about every exception that no
 * record pushed by the called code handles; on a fault the handler calls
 * zumbrel_unwind_and_resume, which unwinds the records above ours (RtlUnwind) and continues
 * at .Lresume with this frame's registers: the record comes off and the call answers 0.
 *
 * Frame, from %ebp: +16 fault, +12 context, +8 function; -4 %ebx, -8 %esi, -12 %edi saved;
 * -24 the record (kRecordToFrame below). */
    .text
    .p2align 4
    .globl _zumbrel_guarded_call
    .def _zumbrel_guarded_call; .scl 2; .type 32; .endef
_zumbrel_guarded_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl 16(%ebp)                  /* record + 8: fault */
    pushl $_zumbrel_guard_handler   /* record + 4: handler */
    pushl %fs:0                     /* record + 0: next */
    movl %esp, %fs:0
    subl $12, %esp                  /* keeps the callee's stack 16-byte aligned as it came */
    pushl 12(%ebp)
    call *8(%ebp)
    movl $1, %eax
    jmp .Lleave
.Lresume:
    xorl %eax, %eax
.Lleave:
    movl -24(%ebp), %ecx
    movl %ecx, %fs:0
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

/* void __cdecl zumbrel_unwind_and_resume(void* record, EXCEPTION_RECORD* exception)
 * Never returns. The record's address is kept on this stack across RtlUnwind, which does not
 * promise to keep registers. */
    .p2align 4
    .globl _zumbrel_unwind_and_resume
    .def _zumbrel_unwind_and_resume; .scl 2; .type 32; .endef
_zumbrel_unwind_and_resume:
    movl 4(%esp), %eax
    movl 8(%esp), %ecx
    pushl %eax
    pushl $0                        /* return value */
    pushl %ecx                      /* exception record */
    pushl $.Lunwound                /* target address */
    pushl %eax                      /* target frame: the records above it are unwound */
    call _RtlUnwind@16
.Lunwound:
    popl %eax
    movl %eax, %esp
    leal 24(%eax), %ebp
    jmp .Lresume
