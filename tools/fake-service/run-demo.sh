#!/bin/sh
# Runs the stand-in service in the foreground on https://127.0.0.1:PORT (default 8443)
# for trying the program by hand.
#
#   run-demo.sh [PORT]
#
# The test CA lives at a fixed place, ${XDG_RUNTIME_DIR:-/tmp}/quillmore-demo/ca.pem,
# so that a build configured with -DQUILLMORE_CA_BUNDLE=<that file> keeps working.
# It is made once and kept while its server certificate has more than a day left;
# a new one is made after that, and builds that carry the old one must be rebuilt.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
port=${1:-8443}
dir=${XDG_RUNTIME_DIR:-/tmp}/quillmore-demo
days=30

if [ ! -s "$dir/ca.pem" ] || [ ! -s "$dir/server.key" ] ||
    ! openssl x509 -checkend 86400 -noout -in "$dir/server.pem" >/dev/null 2>&1; then
    echo "Making a new test CA in $dir (rebuild any program that carries an older one)."
    "$here/make-test-ca.sh" "$dir" "$days"
fi

echo "CA bundle: $dir/ca.pem"
echo "Request log: $dir/requests.log"
echo "Service: https://127.0.0.1:$port  (Ctrl+C ends it)"
exec python3 "$here/server.py" --port "$port" --cert "$dir/server.pem" --key "$dir/server.key" \
    --log "$dir/requests.log"
