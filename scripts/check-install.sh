#!/bin/sh
# Checks what a build installs, or the Debian package it makes.
#
#     scripts/check-install.sh BUILD_DIR          # cmake --install into a temporary prefix
#     scripts/check-install.sh --deb BUILD_DIR    # cpack -G DEB, then the package's files and fields
#
# Run by CTest (tests installed_files and debian_package) on a complete build.
# With ZORVEL_PYTHON naming the Python the module was built for, the
# installed module is imported by it and codes the sample.
set -eu

deb=0
if [ "${1:-}" = "--deb" ]; then
  deb=1
  shift
fi
build="$(cd "${1:?usage: check-install.sh [--deb] BUILD_DIR}" && pwd)"
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/zorvel-install-XXXXXX")"
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

icon_sizes="16 32 48 64 128 256"

# Width and height of a PNG, from its IHDR chunk (bytes 16..23, big-endian).
png_size() {
  od -An -tu1 -j16 -N8 "$1" |
    awk '{ printf "%dx%d\n", $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }'
}

# The files of an installed tree under PREFIX (…/usr or the like).
check_tree() {
  prefix="$1"
  for program in zorvel zorvel-cli; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program missing or not executable"
    # Nothing of the build tree may be needed at run time.
    if readelf -d "$prefix/bin/$program" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -q "$build"; then
      fail "bin/$program still looks for libraries in the build tree"
    fi
  done

  desktop="$prefix/share/applications/zorvel.desktop"
  if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "zorvel.desktop is not a valid desktop entry"
    grep -q "^MimeType=.*audio/wav;" "$desktop" || fail "zorvel.desktop does not offer to open WAV files"
    for line in "Type=Application" "Name=Zorvel" "Exec=zorvel %f" "Icon=zorvel" "Terminal=false"; do
      grep -qx "$line" "$desktop" || fail "zorvel.desktop lacks the line $line"
    done
  else
    fail "share/applications/zorvel.desktop missing"
  fi

  cmp -s "$prefix/share/icons/hicolor/scalable/apps/zorvel.svg" "$source_dir/packaging/zorvel.svg" ||
    fail "share/icons/hicolor/scalable/apps/zorvel.svg missing or not the project's icon"
  for size in $icon_sizes; do
    png="$prefix/share/icons/hicolor/${size}x${size}/apps/zorvel.png"
    if [ -f "$png" ]; then
      [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] ||
        fail "$png is no PNG"
      [ "$(png_size "$png")" = "${size}x${size}" ] ||
        fail "$png is $(png_size "$png"), not ${size}x${size}"
    else
      fail "icon ${size}x${size} missing"
    fi
  done

  cmp -s "$prefix/share/zorvel/mowa.wav" "$source_dir/samples/mowa.wav" ||
    fail "share/zorvel/mowa.wav missing or not the bundled sample"
  [ -f "$prefix/share/doc/zorvel/README.md" ] || fail "share/doc/zorvel/README.md missing"
  cmp -s "$prefix/share/doc/zorvel/copyright" "$source_dir/packaging/copyright" ||
    fail "share/doc/zorvel/copyright missing or not the project's"
  grep -q "^License: MIT$" "$prefix/share/doc/zorvel/copyright" ||
    fail "share/doc/zorvel/copyright does not state the licence"
}

# The installed programs run from the installed tree.
check_programs() {
  prefix="$1"
  version="$("$prefix/bin/zorvel-cli" --version)" || fail "installed zorvel-cli --version failed"
  echo "$version" | grep -q "$(sed -n 's/^project(Zorvel VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")" ||
    fail "installed zorvel-cli reports '$version'"

  # The installed CLI on the installed sample writes what the built one writes.
  mkdir -p "$work/installed" "$work/built"
  "$prefix/bin/zorvel-cli" encode "$prefix/share/zorvel/mowa.wav" -m 7.95 -d "$work/installed" -y >/dev/null ||
    fail "installed zorvel-cli could not encode the installed sample"
  "$build/cli/zorvel-cli" encode "$source_dir/samples/mowa.wav" -m 7.95 -d "$work/built" -y >/dev/null ||
    fail "built zorvel-cli could not encode the sample"
  cmp -s "$work/installed/mowa.wav_07.95_sout.wav" "$work/built/mowa.wav_07.95_sout.wav" ||
    fail "installed and built zorvel-cli write different output"

  # The desktop program starts and keeps running until it is stopped
  # (timeout's 124), offscreen here; under X it opens its main window.
  status=0
  QT_QPA_PLATFORM=offscreen timeout 3 "$prefix/bin/zorvel" >"$work/zorvel.log" 2>&1 || status=$?
  [ "$status" -eq 124 ] || { cat "$work/zorvel.log" >&2; fail "installed zorvel ended with $status instead of running"; }
}

# The Python module under PREFIX: imported from there by the Python it was
# built for, it codes the installed sample as the built zorvel-cli does.
check_python() {
  prefix="$1"
  python="${ZORVEL_PYTHON:-}"
  [ -n "$python" ] || return 0
  set -- "$prefix"/lib/python3*/dist-packages/zorvel.cpython-*.so
  if [ ! -f "$1" ]; then
    fail "the Python module is missing from lib/python3.X/dist-packages"
    return 0
  fi
  modules="$(dirname "$1")"
  if readelf -d "$1" 2>/dev/null | grep -E 'R(UN)?PATH' | grep -q "$build"; then
    fail "the Python module still looks for libraries in the build tree"
  fi
  mkdir -p "$work/python" "$work/python-built"
  PYTHONPATH="$modules" "$python" -c '
import pathlib, sys, zorvel
assert pathlib.Path(zorvel.__file__).parent == pathlib.Path(sys.argv[1]), zorvel.__file__
result = zorvel.Coder("7.95").encode(zorvel.read(sys.argv[2]))
pathlib.Path(sys.argv[3]).write_bytes(result.wav())
' "$modules" "$prefix/share/zorvel/mowa.wav" "$work/python/mowa.wav" ||
    fail "the installed Python module could not code the installed sample"
  "$build/cli/zorvel-cli" encode "$source_dir/samples/mowa.wav" -m 7.95 -d "$work/python-built" -y >/dev/null ||
    fail "built zorvel-cli could not encode the sample"
  cmp -s "$work/python/mowa.wav" "$work/python-built/mowa.wav_07.95_sout.wav" ||
    fail "the installed Python module and zorvel-cli write different output"
}

if [ "$deb" -eq 0 ]; then
  cmake --install "$build" --prefix "$work/prefix" >/dev/null
  check_tree "$work/prefix"
  check_programs "$work/prefix"
  check_python "$work/prefix"
else
  (cd "$build" && cpack -G DEB -B "$work/package" >/dev/null)
  set -- "$work"/package/zorvel_*.deb
  [ -f "$1" ] || { echo "FAIL: cpack made no zorvel_*.deb" >&2; exit 1; }
  package="$1"
  fields="$(dpkg-deb -f "$package" Package Architecture Depends)"
  echo "$fields"
  echo "$fields" | grep -qx "Package: zorvel" || fail "package name is not zorvel"
  depends="$(dpkg-deb -f "$package" Depends)"
  python_needs=""
  [ -z "${ZORVEL_PYTHON:-}" ] || python_needs="python3 python3-numpy libsndfile1"
  for needed in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins qt6-translations-l10n \
    fonts-dejavu-extra $python_needs; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$needed" ||
      fail "Depends lacks $needed"
  done
  # Every file under /usr, the tree as installed above.
  dpkg-deb -c "$package" | awk '{ print $6 }' | grep -v '/$' | grep -v '^\./usr/' &&
    fail "the package has files outside /usr"
  dpkg-deb -x "$package" "$work/root"
  check_tree "$work/root/usr"
  check_python "$work/root/usr"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "Installation checks passed."
