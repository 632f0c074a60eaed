#!/usr/bin/env bash
# Builds the Debian package from an already built tree and checks what a user
# installing it would meet: the file name, the files, the dependencies (the
# program's and those of the curl it carries) and the desktop metadata.
#
#   check-package.sh BUILD_DIR SOURCE_DIR VERSION APP_ID CARRIED_CURL
set -euo pipefail

build=$1 source=$2 version=$3 app_id=$4 carried_curl=$5
work=$(mktemp -d "${TMPDIR:-/tmp}/tst_package.XXXXXX")
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The package goes to a folder of its own, so a .deb the user made by hand in
# the build folder is neither used nor overwritten.
if ! (cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1); then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack -G DEB" >&2
  exit 1
fi

arch=$(dpkg --print-architecture)
deb="$work/out/quillmore_${version}_${arch}.deb"
made=$(find "$work/out" -maxdepth 1 -name '*.deb' -printf '%f\n')
if [ "$made" != "$(basename "$deb")" ]; then
  echo "FAIL: expected exactly $(basename "$deb"), cpack made: ${made:-nothing}" >&2
  exit 1
fi

for field in Package:quillmore Version:"$version" Architecture:"$arch"; do
  got=$(dpkg-deb -f "$deb" "${field%%:*}")
  [ "$got" = "${field#*:}" ] || fail "${field%%:*} is '$got', expected '${field#*:}'"
done

# --- contents -------------------------------------------------------------
dpkg-deb -c "$deb" | awk '{print $1, $6}' >"$work/listing"
expect_file() { # expect_file PATH [MODE-PREFIX]
  grep -q "^${2:--}[^ ]* \./${1#/}\$" "$work/listing" || fail "package lacks ${1} ${2:+(mode ${2}...)}"
}
expect_file /usr/bin/quillmore -rwxr-xr-x
expect_file /usr/bin/quillmore-cli -rwxr-xr-x
expect_file /usr/share/man/man1/quillmore.1.gz
expect_file /usr/share/man/man1/quillmore-cli.1.gz
expect_file "/usr/share/applications/$app_id.desktop"
expect_file "/usr/share/metainfo/$app_id.metainfo.xml"
expect_file /usr/share/icons/hicolor/scalable/apps/quillmore.svg
for size in 16 32 48 64 128 256; do
  expect_file "/usr/share/icons/hicolor/${size}x${size}/apps/quillmore.png"
done
expect_file /usr/share/bash-completion/completions/quillmore-cli -rw-r--r--
expect_file /usr/share/zsh/vendor-completions/_quillmore-cli -rw-r--r--
expect_file /usr/share/doc/quillmore/copyright
expect_file /usr/share/doc/quillmore/changelog.gz
if grep -v ' \./usr/' "$work/listing" | grep -v ' \./$' | grep -q .; then
  fail "files outside /usr: $(grep -v ' \./usr/' "$work/listing" | tr '\n' ' ')"
fi

root="$work/root"
dpkg-deb -x "$deb" "$root"

# --- dependencies ---------------------------------------------------------
# Every library an executable links against directly must come from a package
# named in Depends. The owner is asked of dpkg itself, a different road from
# the dpkg-shlibdeps run that wrote the field.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
declare -A depended=()
while read -r name; do
  [ -n "$name" ] && depended[$name]=1
done < <(tr ',|' '\n\n' <<<"$depends" | sed -E 's/\(.*\)//; s/:.*//; s/[[:space:]]//g')

owner_of() { # owner_of LIBRARY-PATH: the package that installed it
  local path=$1 alt
  case $path in
  /usr/*) alt=${path#/usr} ;;
  *) alt=/usr$path ;;
  esac
  { dpkg -S "$path" 2>/dev/null || dpkg -S "$alt" 2>/dev/null ||
    dpkg -S "$(readlink -f "$path")" 2>/dev/null; } | head -n1 | sed -E 's/[:,].*//'
}
# A library package may be named by a virtual package it provides (the
# phone-number library's shlibs name the protobuf build it was made with).
named_in_depends() { # named_in_depends PACKAGE
  local virtual
  [ -n "${depended[$1]:-}" ] && return 0
  for virtual in $(dpkg-query -W -f='${Provides}' "$1" 2>/dev/null | tr ',' '\n' |
    sed -E 's/\(.*\)//; s/:.*//; s/[[:space:]]//g'); do
    [ -n "${depended[$virtual]:-}" ] && return 0
  done
  return 1
}
check_libraries() { # check_libraries WHAT ELF-FILE
  local what=$1 elf=$2 lib path pkg
  local needed
  needed=$(objdump -p "$elf" | awk '$1 == "NEEDED" {print $2}')
  [ -n "$needed" ] || fail "$what: no shared libraries found (is it an ELF executable?)"
  for lib in $needed; do
    path=$(ldd "$elf" | awk -v lib="$lib" '$1 == lib {print $3}')
    if [ -z "$path" ] || [ "$path" = "not" ]; then
      fail "$what: $lib not found on this system"
      continue
    fi
    pkg=$(owner_of "$path")
    if [ -z "$pkg" ]; then
      fail "$what: no package owns $path"
    elif ! named_in_depends "$pkg"; then
      fail "$what needs $lib from $pkg, which Depends does not name"
    fi
  done
}
check_libraries "the program" "$root/usr/bin/quillmore"
check_libraries "the command-line program" "$root/usr/bin/quillmore-cli"
check_libraries "the carried curl ($carried_curl)" "$carried_curl"
for pkg in libqt6core6 libqt6gui6 libqt6widgets6 libcurl4 libphonenumber8; do
  named_in_depends "$pkg" || fail "Depends does not name $pkg"
done

# --- desktop metadata -----------------------------------------------------
desktop="$root/usr/share/applications/$app_id.desktop"
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
if [ -f "$desktop" ]; then
  if ! out=$(desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
    fail "desktop-file-validate: $out"
  fi
  exec_line=$(sed -n 's/^Exec=//p' "$desktop")
  [ -x "$root/usr/bin/${exec_line%% *}" ] || fail "Exec=$exec_line is not a program in the package"
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon has no icon in the package"
fi
if [ -f "$metainfo" ]; then
  # Warnings count too: a store may hide an application whose metainfo has them.
  if ! out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || grep -Eq '^[EW]:' <<<"$out"; then
    fail "appstreamcli validate: $out"
  fi
  grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo id is not $app_id"
  grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "metainfo does not launch $app_id.desktop"
  newest=$(grep -m1 -o '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)
  [ "$newest" = "$version" ] || fail "newest release in the metainfo is '$newest', the package is $version"
  for binary in $(sed -n 's:.*<binary>\(.*\)</binary>.*:\1:p' "$metainfo"); do
    [ -x "$root/usr/bin/$binary" ] || fail "metainfo provides binary $binary, not in the package"
  done
fi
# --- shell completion -----------------------------------------------------
# Each shell finds its completion by the file's place and name alone, so a
# swapped or stale file would go unnoticed until a user pressed Tab.
for pair in bash-completion/completions/quillmore-cli:quillmore-cli.bash \
  zsh/vendor-completions/_quillmore-cli:_quillmore-cli; do
  installed="$root/usr/share/${pair%%:*}"
  [ -f "$installed" ] || continue
  cmp -s "$installed" "$source/resources/completion/${pair#*:}" ||
    fail "/usr/share/${pair%%:*} is not resources/completion/${pair#*:}"
done

if [ -f "$root/usr/share/doc/quillmore/changelog.gz" ]; then
  zcat "$root/usr/share/doc/quillmore/changelog.gz" | head -n1 | grep -q "^quillmore ($version)" ||
    fail "changelog does not begin with version $version"
fi

# The running program names its desktop entry itself (window grouping, icons
# on Wayland), so it must use the same id.
grep -q "setDesktopFileName(QStringLiteral(\"$app_id\"))" "$source/src/app/main.cpp" ||
  fail "src/app/main.cpp does not set the desktop file name $app_id"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "package $(basename "$deb") passed"
