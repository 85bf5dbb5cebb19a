# Sourced by the scripts of the emulated road (where the kernel runs no 32-bit x86 code,
# 32-bit Wine runs under qemu-user): where the emulator is kept and how i386 programs are
# sent to it.
#
# qemu-i386 comes from Debian's bookworm-backports (QEMU 8.1 or newer: bookworm's own 7.2
# lacks MAP_FIXED_NOREPLACE, and Wine's address-space reservation then stalls every 32-bit
# process for minutes). tools/fetch-qemu.sh puts it into a folder of its own, shared by
# every checkout of the user: TERVAGON_QEMU_DIR, by default under the user's cache.
qemu_dir=${TERVAGON_QEMU_DIR:-${XDG_CACHE_HOME:-${HOME:?}/.cache}/tervagon/qemu-user}
qemu_binary=$qemu_dir/qemu-i386
# Why the last fetch failed, one line; kept until a fetch works.
qemu_fetch_failure=$qemu_dir/fetch-failed
qemu_minimum_version=8.1

# The binfmt_misc entry for i386 ELF programs (executables and shared objects). Flag F: the
# interpreter is opened when the entry is registered, so it serves whatever root a process
# sees afterwards.
i386_elf_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_elf_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
binfmt_entry() {  # binfmt_entry INTERPRETER
  printf ':tervagon-i386:M::%s:%s:%s:F' "$i386_elf_magic" "$i386_elf_mask" "$1"
}

qemu_version() {  # the "MAJOR.MINOR.PATCH" a qemu binary reports, or nothing
  "$1" --version 2>/dev/null | sed -n '1s/^qemu-i386 version \([0-9][0-9.]*\).*/\1/p'
}
version_at_least() {  # version_at_least HAVE WANT
  [ "$(printf '%s\n%s\n' "$2" "$1" | sort -V | head -n1)" = "$2" ]
}

# Why a run takes the emulated road, for the scripts that tell their reader so.
emulated_because() {
  if [ "${TERVAGON_32BIT:-}" = emulated ]; then
    echo "TERVAGON_32BIT=emulated asks for it"
  else
    echo "this machine's kernel runs no 32-bit programs"
  fi
}
