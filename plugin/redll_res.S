/* The module's compiled resources (the .res that windres makes of redll.rc). */
    .section .rodata
    .balign 16
    .globl redll_res_begin
    .hidden redll_res_begin
redll_res_begin:
    .incbin REDLL_RES_FILE
    .globl redll_res_end
    .hidden redll_res_end
redll_res_end:
    .byte 0
    .section .note.GNU-stack,"",@progbits
