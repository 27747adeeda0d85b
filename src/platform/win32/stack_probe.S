/* Stack probe for frames larger than a page, called by the compiler's
   function prologues as ___chkstk_ms (libgcc's, which is not linked, has the
   same contract). Windows commits the stack one guard page at a time, so a
   function that moves the stack pointer down by more than a page must touch
   each page on the way, in order. Called with the frame size in EAX, before
   the caller subtracts it from ESP itself; EAX and ECX are left as they were.
   Written by hand so that it holds nothing but i486 instructions. */

        .text
        .globl  ___chkstk_ms
___chkstk_ms:
        pushl   %ecx
        pushl   %eax
        leal    12(%esp), %ecx          /* the caller's ESP before the call */
1:
        cmpl    $0x1000, %eax
        jb      2f
        subl    $0x1000, %ecx           /* one page further down ... */
        orl     $0, (%ecx)              /* ... touched */
        subl    $0x1000, %eax
        jmp     1b
2:
        subl    %eax, %ecx              /* the rest, less than a page */
        orl     $0, (%ecx)
        popl    %eax
        popl    %ecx
        ret
