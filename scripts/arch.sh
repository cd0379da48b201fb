# Sourced: sets SORVANE_ARCH to the Windows architecture the builds run here
# are made for: i686 (the program's own) where this machine can execute 32-bit
# x86 code, x86_64 where it cannot. SORVANE_ARCH set beforehand wins.
if [ -z "${SORVANE_ARCH:-}" ]; then
    if [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
        SORVANE_ARCH=i686
    else
        SORVANE_ARCH=x86_64
    fi
fi
export SORVANE_ARCH
