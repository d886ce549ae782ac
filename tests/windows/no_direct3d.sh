#!/usr/bin/env bash
# quillon.exe where Direct3D 8 cannot serve it, each time with its message
# boxes as the system draws them, closed with a key, and the program ending
# with status 1 once the last is closed:
# - Wine's Direct3D without any 3D renderer ("no3d"): the device cannot be
#   created, so "Unable to initialize the device", then the report of the
#   font that needs the device;
# - d3d8.dll switched off: no Direct3D at all, so only the report.
# Wine's message-box trace gives each box's text.
source "$(dirname "$0")/lib.sh"

box_texts() { sed -n 's/.*MSGBOX_OnInit L"\(.*\)"\r*$/\1/p' "$WORK/quillon.out"; }
box_count() { [ "$(box_texts | wc -l)" = "$1" ] && has_message_box; }

run_case() {  # NAME VAR=VALUE -- TEXTS...
  local name=$1 setting=$2 i
  shift 3
  start_quillon WINEDEBUG=-all,+msgbox "$setting"
  for i in $(seq $#); do
    wait_for 60 box_count "$i" || fail "$name: no box $i; output: $(cat "$WORK/quillon.out")"
    [ "$(box_texts | sed -n "${i}p")" = "${!i}" ] || fail "$name: box $i says $(box_texts | sed -n "${i}p")"
    sleep 1
    quillon_ended && fail "$name: the program did not wait for box $i"
    xdotool keydown Return && sleep 0.2 && xdotool keyup Return
    wait_for 10 bash -c "! xwininfo -id $(message_box_id) >/dev/null 2>&1" ||
      fail "$name: box $i stays after Return"
  done
  expect_ended 1
  note "$name: $# boxes, status 1"
}

run_case no3d WINE_D3D_CONFIG=renderer=no3d -- "Unable to initialize the device" \
  "(-2005530516) D3DERR_INVALIDCALL: the method call is invalid"
run_case "d3d8 off" WINEDLLOVERRIDES="mscoree,mshtml=;d3d8=d" -- \
  "(-2147467259) E_FAIL: unspecified failure: d3d8.dll or its Direct3DCreate8 cannot be loaded"
echo PASS
