#!/usr/bin/env bash
# Runs a test on a session bus of its own, with a home and XDG folders of its
# own, so that the keyring daemon the test starts touches nothing of the
# machine's or the user's. The bus starts no service by itself: a keyring is
# there only while the test runs one.
#
#   run-on-private-bus.sh PROGRAM [ARGUMENTS...]
set -euo pipefail
work=$(mktemp -d "${TMPDIR:-/tmp}/quillmore-bus.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/config" "$work/data" "$work/cache" "$work/run"
chmod 700 "$work/run"
cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work/run</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
dbus-run-session --config-file="$work/bus.conf" -- "$@"
