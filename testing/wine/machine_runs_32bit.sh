#!/bin/sh
# Exit status 0 when this machine's kernel runs 32-bit x86 programs, which 32-bit Wine is. Some
# kernels are built or booted without it ("32-bit emulation disabled"); there no 32-bit Windows
# program can run under Debian's Wine. Tries a tiny 32-bit program made with binutils.
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '.globl _start\n_start:\n    movl $1, %%eax\n    xorl %%ebx, %%ebx\n    int $0x80\n' >"$work/exit.s"
as --32 -o "$work/exit.o" "$work/exit.s" 2>/dev/null &&
    ld -m elf_i386 -o "$work/exit" "$work/exit.o" 2>/dev/null &&
    "$work/exit" 2>/dev/null
