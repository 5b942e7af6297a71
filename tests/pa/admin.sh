#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Strangers may print, not administer. Each administrative operation is
# refused to a client that has not signed in, over loopback and from
# another address (a network namespace of the test's own, joined by a veth
# pair), and to a user other than root on the local socket; done as the
# administrator it works. Printing and status stay open to all. Web forms
# need the session's own token, the site's own origin and an
# administrator.
source "$(dirname "$0")/common.sh"
init_work pa-admin

# Another address: a namespace and a veth pair of our own.
NS=zelp-admin-$$
VETH=zadm$$
NET=10.$((RANDOM % 200 + 20)).$((RANDOM % 250)).
net_cleanup() {
  local rc=$?
  ip netns del "$NS" 2>/dev/null || true
  ip link del "$VETH" 2>/dev/null || true
  (exit "$rc")
  cleanup
}
trap net_cleanup EXIT
other=()
if ip netns add "$NS" 2>"$WORK/netns.err" && ip link add "$VETH" type veth peer name "${VETH}p" &&
  ip link set "${VETH}p" netns "$NS" && ip addr add "${NET}1/30" dev "$VETH" && ip link set "$VETH" up &&
  ip netns exec "$NS" ip addr add "${NET}2/30" dev "${VETH}p" && ip netns exec "$NS" ip link set "${VETH}p" up &&
  ip netns exec "$NS" ip link set lo up; then
  other=(ip netns exec "$NS")
  PA_LISTEN="localhost,${NET}1"
else
  log "SKIP (other address): the kernel refuses network namespaces here: $(cat "$WORK/netns.err")"
fi
start_pa
add_printer p80 zelp80
page_picture receipt 200 40 "$WORK/doc.pgm"
pnmtopng "$WORK/doc.pgm" >"$WORK/doc.png" 2>/dev/null

# op_test FILE OPERATION TARGET [LINE...]: one request, TARGET printer or system.
op_test() {
  local file=$1 op=$2 target=$3
  shift 3
  {
    echo "{ OPERATION $op"
    echo 'GROUP operation-attributes-tag'
    echo 'ATTR charset attributes-charset utf-8'
    echo 'ATTR naturalLanguage attributes-natural-language en'
    echo "ATTR uri $target-uri \$uri"
    echo 'ATTR name requesting-user-name stranger'
    printf '%s\n' "$@"
    echo 'STATUS successful-ok }'
  } >"$file"
}
# The administrative operations, each with what a second run puts back.
while IFS='|' read -r name op target lines; do
  IFS=';' read -r -a extra <<<"$lines"
  op_test "$WORK/$name.test" "$op" "$target" "${extra[@]}"
done <<'EOF2'
set-defaults|Set-Printer-Attributes|printer|GROUP printer-attributes-tag;ATTR keyword zelp-cutting-default none
pause|Pause-Printer|printer|
resume|Resume-Printer|printer|
disable|Disable-Printer|printer|
enable|Enable-Printer|printer|
hold-new|Hold-New-Jobs|printer|
release-new|Release-Held-New-Jobs|printer|
cancel-jobs|Cancel-Jobs|printer|
set-system|Set-System-Attributes|system|GROUP system-attributes-tag;ATTR integer system-default-printer-id 1
create|Create-Printer|system|ATTR keyword printer-service-type print;ATTR keyword smi55357-driver zelp58;ATTR uri smi55357-device-uri socket://127.0.0.1:9;GROUP printer-attributes-tag;ATTR name printer-name intruder
pause-all|Pause-All-Printers|system|
resume-all|Resume-All-Printers|system|
EOF2
op_test "$WORK/delete.test" Delete-Printer system 'ATTR integer printer-id $id'
op_test "$WORK/print.test" Print-Job printer 'ATTR mimeMediaType document-format image/png' 'FILE $filename'
op_test "$WORK/jobs.test" Get-Jobs printer
op_test "$WORK/status.test" Get-Printer-Attributes printer

uri_of() { # uri_of WHO TARGET: the URI a client of that kind uses
  local host=localhost
  [ "$1" != other ] || host=${NET}1
  [ "$1" != admin ] || host=$PA_ADMIN@localhost
  if [ "$2" = system ]; then echo "ipp://$host:$PA_PORT/ipp/system"; else echo "ipp://$host:$PA_PORT/ipp/print/p80"; fi
}
run_as() { # run_as WHO ipptool ARGS...: from loopback, the other address, or as nobody on the local socket
  local who=$1
  shift
  case $who in
    other) "${other[@]}" "$@" ;;
    nobody) setpriv --reuid=nobody --regid=nogroup --clear-groups "$@" ;;
    *) "$@" ;;
  esac
}
socket_uri() { printf 'ipp://%s/ipp/%s' "$(printf '%s' "$PA_DIR/zelp-printer-app.sock" | sed 's|/|%2F|g')" "$1"; }
cutting() { attribute_values p80 zelp-cutting-default; }

strangers=(loopback nobody)
((${#other[@]} == 0)) || strangers+=(other)
refused=0
for who in "${strangers[@]}"; do
  for name in set-defaults pause disable hold-new cancel-jobs set-system create pause-all; do
    target=$(sed -n 's/.*ATTR uri \([a-z]*\)-uri.*/\1/p' "$WORK/$name.test")
    if [ "$who" = nobody ]; then
      uri=$(socket_uri "$([ "$target" = system ] && echo system || echo print/p80)")
    else
      uri=$(uri_of "$who" "$target")
    fi
    ! run_as "$who" ipptool -T 10 "$uri" "$WORK/$name.test" >"$WORK/$who-$name.out" 2>&1 ||
      fail "$name was allowed to $who: $(tail -n 3 "$WORK/$who-$name.out")"
    refused=$((refused + 1))
  done
  # Printing and status stay open.
  uri=$(uri_of "$who" printer)
  [ "$who" != nobody ] || uri=$(socket_uri print/p80)
  for name in print jobs status; do
    run_as "$who" ipptool -T 10 -f "$WORK/doc.png" "$uri" "$WORK/$name.test" >"$WORK/$who-$name.out" 2>&1 ||
      fail "$name was refused to $who: $(tail -n 3 "$WORK/$who-$name.out")"
  done
done
[ "$(cutting)" = zelp-cutting-default=page-end-feed-full ] || fail "a stranger changed the cutting: $(cutting)"
pa printers | grep -qx intruder && fail "a stranger created a printer"
log "ok: $refused administrative operations refused to strangers (${strangers[*]}); printing and status open to them"

# The administrator, over loopback with a password, and root on the socket.
for name in set-defaults pause resume disable enable hold-new release-new cancel-jobs set-system create pause-all resume-all; do
  target=$(sed -n 's/.*ATTR uri \([a-z]*\)-uri.*/\1/p' "$WORK/$name.test")
  ipptool -T 10 "$(uri_of admin "$target")" "$WORK/$name.test" >"$WORK/admin-$name.out" 2>&1 ||
    fail "$name as the administrator: $(tail -n 3 "$WORK/admin-$name.out")"
done
[ "$(cutting)" = zelp-cutting-default=none ] || fail "the administrator's cutting default is $(cutting)"
id=$(pa printers >/dev/null; ipptool -tv "ipp://localhost:$PA_PORT/ipp/print/intruder" "$WORK/status.test" 2>/dev/null |
  sed -n 's/.*printer-id (integer) = //p')
[ -n "$id" ] || fail "the administrator's Create-Printer made no printer"
ipptool -T 10 -d id="$id" "$(uri_of admin system)" "$WORK/delete.test" >"$WORK/admin-delete.out" 2>&1 ||
  fail "Delete-Printer as the administrator: $(tail -n 3 "$WORK/admin-delete.out")"
pa modify -d p80 -o zelp-cutting=page-end-full >/dev/null 2>&1 || fail "root on the local socket cannot modify"
log "ok: the same operations done by the administrator (password over loopback, root on the socket)"

# Web forms: the page's own token with its session cookie, from the site
# itself, by the administrator; anything less changes nothing.
jar=$WORK/web.jar
page=$(curl -sf -c "$jar" -u "$PA_ADMIN" "http://localhost:$PA_PORT/p80/receipt") || fail "no Receipt Options page"
token=$(sed -n 's/.*name="session" value="\([^"]*\)".*/\1/p' <<<"$page" | head -n 1)
url=http://localhost:$PA_PORT/p80/receipt
while IFS='|' read -r what args; do
  read -r -a curl_args <<<"$args"
  answer=$(curl -s -u "$PA_ADMIN" "${curl_args[@]}" --data "session=$token&zelp-beeper=7" "$url" || true)
  ! grep -q 'Changes saved' <<<"$answer" || fail "web form $what: saved"
done <<EOF3
without the session cookie|
with another session's cookie|-b zelp-session=0123456789abcdef0123456789abcdef
from another origin|-b $jar -H Origin:http://shop.example
from another site's page|-b $jar -H Referer:http://shop.example/form.html
EOF3
answer=$(curl -s -b "$jar" --data "session=$token&zelp-beeper=7" -w '%{http_code}' -o /dev/null "$url")
[ "$answer" = 401 ] || fail "web form without a password: HTTP $answer"
answer=$(curl -s -b "$jar" --data "session=$token&action=pause-printer" -w '%{http_code}' -o /dev/null "http://localhost:$PA_PORT/p80/")
[ "$answer" = 401 ] || fail "pause from the printer page without a password: HTTP $answer"
grep -qx 'zelp-beeper-default=0' <<<"$(attribute_values p80 zelp-beeper-default)" || fail "a refused web form changed the beeper"
answer=$(curl -s -b "$jar" -u "$PA_ADMIN" -H "Origin: http://localhost:$PA_PORT" --data "session=$token&zelp-beeper=7" "$url")
grep -q 'Changes saved' <<<"$answer" || fail "the administrator's web form was not saved"
stop_pa
log "PASS: strangers print and read status but cannot administer; the administrator can"
