#!/usr/bin/env bash
# Installs a built tree the three ways Tessaro is installed and checks what lands where:
#   install_check.sh BUILD_FOLDER [CMAKE]
# --prefix /usr into DESTDIR, as a distribution packages it: exactly the FHS files below, a desktop
# entry and an AppStream file their validators pass, man pages man reads without a warning.
# --prefix /opt/tessaro: the same layout below /opt/tessaro, the entry naming the executable.
# The per-user default (HOME in a scratch folder): a usable catalogue and settings beside the
# executables, the menu entry and completion in the user's data folder, and an install of the
# earlier flat layout moved into bin/ with its discs kept.
set -euo pipefail
build=$(cd "$1" && pwd)
cmake=${2:-cmake}
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
for tool in desktop-file-validate appstreamcli man "$cmake"; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (tools/install-deps --test)"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0

install_into() { # LOG [cmake --install options...]
  local log=$1
  shift
  "$cmake" --install "$build" "$@" >"$log" 2>&1 || {
    cat "$log" >&2
    fail "cmake --install $* failed"
  }
}
files_below() { (cd "$1" && find . -type f -o -type l | sed 's|^\./||' | sort); }
expect_files() { # ROOT PREFIX (without the leading /)
  local root=$1 p=$2 size
  {
    echo "$p/bin/tessaro"
    echo "$p/bin/tessaro-cli"
    echo "$p/bin/tessaro-cli-scan"
    echo "$p/share/tessaro/help.chm"
    echo "$p/share/applications/tessaro.desktop"
    echo "$p/share/icons/hicolor/scalable/apps/tessaro.svg"
    for size in 16 22 24 32 48 64 128 256; do
      echo "$p/share/icons/hicolor/${size}x${size}/apps/tessaro.png"
    done
    echo "$p/share/man/man1/tessaro.1"
    echo "$p/share/man/man1/tessaro-cli.1"
    echo "$p/share/bash-completion/completions/tessaro-cli"
    echo "$p/share/metainfo/example.quillomat.tessaro.metainfo.xml"
  } | sort >"$work/expected"
  files_below "$root" >"$work/found"
  diff -u "$work/expected" "$work/found" >&2 || fail "the install below $root holds other files than expected"
}
validate_desktop() { # FILE EXPECTED_EXEC
  desktop-file-validate "$1" >&2 || fail "desktop-file-validate rejects $1"
  grep -qxF "Exec=$2" "$1" || fail "$1: expected Exec=$2, found $(grep '^Exec=' "$1")"
}

# 1. A distribution's package.
root=$work/usr-root
DESTDIR=$root install_into "$work/usr.log" --prefix /usr
expect_files "$root" usr
validate_desktop "$root/usr/share/applications/tessaro.desktop" tessaro
! grep -q '^Path=' "$root/usr/share/applications/tessaro.desktop" || fail "the /usr entry sets Path"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.quillomat.tessaro.metainfo.xml" >&2 ||
  fail "appstreamcli validate rejects the metainfo file"
for page in tessaro tessaro-cli; do
  for locale in C C.UTF-8; do
    warnings=$(LC_ALL=$locale MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man --warnings on $page.1 ($locale): $warnings"
  done
done
"$root/usr/bin/tessaro-cli" --version | grep -qx 'tessaro-cli 1.3' || fail "the installed tessaro-cli does not run"
echo "ok: --prefix /usr"

# 2. A folder of its own in /opt.
root=$work/opt-root
DESTDIR=$root install_into "$work/opt.log" --prefix /opt/tessaro
expect_files "$root" opt/tessaro
validate_desktop "$root/opt/tessaro/share/applications/tessaro.desktop" '"/opt/tessaro/bin/tessaro"'
echo "ok: --prefix /opt/tessaro"

# 3. Per user, fresh and over the earlier layout (everything in the folder itself).
default_prefix=$(sed -n 's/^TESSARO_DEFAULT_PREFIX:INTERNAL=//p' "$build/CMakeCache.txt")
if [ -z "$default_prefix" ]; then
  echo "SKIP: the per-user install: $build was configured with a prefix of its own" >&2
  exit 77
fi
tree=$work/tree
mkdir -p "$tree/docs"
echo hello >"$tree/docs/report.txt"
for case in fresh earlier; do
  home=$work/home-$case
  folder=$home/.local/opt/tessaro
  mkdir -p "$folder"
  if [ "$case" = earlier ]; then
    "$build/bin/tessaro-cli" --catalogue "$folder/archive.mdb" create-catalogue
    "$build/bin/tessaro-cli" --catalogue "$folder/archive.mdb" add --root "$tree" --quiet
    printf '[Software]\nQuillomat\\Tessaro\\Drive=e\n' >"$folder/tessaro.ini"
    cp "$build/bin/tessaro-cli" "$folder/tessaro-cli"
  fi
  HOME=$home XDG_DATA_HOME='' install_into "$work/$case.log" --prefix "$default_prefix"
  for f in bin/tessaro bin/tessaro-cli bin/archive.mdb bin/tessaro.ini share/tessaro/help.chm; do
    [ -f "$folder/$f" ] || fail "per user ($case): no $folder/$f"
  done
  [ ! -e "$folder/archive.mdb" ] && [ ! -e "$folder/tessaro-cli" ] || fail "per user ($case): the earlier layout stays"
  validate_desktop "$home/.local/share/applications/tessaro.desktop" "\"$folder/bin/tessaro\""
  [ -f "$home/.local/share/icons/hicolor/48x48/apps/tessaro.png" ] || fail "per user ($case): no icon"
  [ -f "$home/.local/share/bash-completion/completions/tessaro-cli" ] || fail "per user ($case): no completion"
  discs=$(HOME=$home "$folder/bin/tessaro-cli" discs | wc -l)
  if [ "$case" = earlier ]; then
    [ "$discs" = 1 ] || fail "per user (earlier layout): the catalogue's disc is lost ($discs discs)"
    grep -q 'Drive=e' "$folder/bin/tessaro.ini" || fail "per user (earlier layout): the settings are lost"
  else
    [ "$discs" = 0 ] || fail "per user: the new catalogue is not empty"
  fi
done
echo "ok: per user"
