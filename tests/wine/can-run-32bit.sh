#!/usr/bin/env bash
# Exits 0 when this host can start 32-bit programs under Wine: its kernel must
# run Wine's 32-bit loader (an i386 ELF), which fails with "Exec format error"
# on kernels built without IA-32 emulation.
wine32=/usr/lib/wine/wine
[ -x "$wine32" ] && "$wine32" --version >/dev/null 2>&1
