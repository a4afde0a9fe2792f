#!/usr/bin/env bash
# Loads the shipped Nagios and Icinga definitions of vemo-check into the real
# engines' configuration checks (nagios4 -v, icinga2 daemon -C), each beside
# the few objects of its own it needs (a host, a template), in a temporary
# folder. Neither may report an error or a warning.
#   check-engines.sh EXAMPLES_DIR
set -euo pipefail
examples=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cat >"$work/nagios.cfg" <<CFG
log_file=$work/nagios.log
cfg_file=$work/base.cfg
cfg_file=$examples/vemo-nagios.cfg
status_file=$work/status.dat
temp_file=$work/nagios.tmp
lock_file=$work/nagios.lock
check_result_path=$work
nagios_user=$(id -un)
nagios_group=$(id -gn)
illegal_macro_output_chars=\`~\$&|"<>
CFG
cat >"$work/base.cfg" <<'CFG'
define timeperiod {
    timeperiod_name 24x7
    alias           always
    monday          00:00-24:00
}
define command {
    command_name    notify
    command_line    /bin/true
}
define contact {
    contact_name                  admin
    host_notifications_enabled    0
    service_notifications_enabled 0
    host_notification_period      24x7
    service_notification_period   24x7
    host_notification_options     n
    service_notification_options  n
    host_notification_commands    notify
    service_notification_commands notify
}
define host {
    host_name             web1.example.org
    address               127.0.0.1
    max_check_attempts    1
    check_period          24x7
    contacts              admin
    notification_interval 0
    notification_period   24x7
}
define service {
    name                  generic-service
    register              0
    max_check_attempts    1
    check_interval        5
    retry_interval        1
    check_period          24x7
    notification_interval 0
    notification_period   24x7
    contacts              admin
}
CFG
out=$(nagios4 -v "$work/nagios.cfg" 2>&1) || fail "nagios4 -v: $out"
grep -q 'Total Warnings: 0' <<<"$out" && grep -q 'Total Errors:   0' <<<"$out" ||
  fail "nagios4 -v: $out"
grep -q 'Checked 1 services' <<<"$out" || fail "nagios4 -v did not load the service: $out"

mkdir "$work/cache"
cat >"$work/icinga2.conf" <<CFG
include <itl>
object Host "web1.example.org" {
  check_command = "dummy"
  vars.vemo = true
}
include "$examples/vemo-icinga.conf"
CFG
out=$(icinga2 daemon -C -c "$work/icinga2.conf" -DCacheDir="$work/cache" \
  -DRunAsUser="$(id -un)" -DRunAsGroup="$(id -gn)" 2>&1) || fail "icinga2 daemon -C: $out"
! grep -qE '(warning|critical)/' <<<"$out" || fail "icinga2 daemon -C: $out"
grep -q 'Instantiated 1 Service' <<<"$out" || fail "icinga2 did not apply the service: $out"
echo "nagios4 and icinga2 load the shipped definitions"
