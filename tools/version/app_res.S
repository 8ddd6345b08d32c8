/* The program's compiled version block (the .res that windres makes of app.rc). */
    .section .rodata
    .balign 16
    .globl app_res_begin
    .hidden app_res_begin
app_res_begin:
    .incbin APP_RES_FILE
    .globl app_res_end
    .hidden app_res_end
app_res_end:
    .byte 0
    .section .note.GNU-stack,"",@progbits
