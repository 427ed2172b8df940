#!/usr/bin/env bash
# A private PulseAudio server for the tests that play through Windows audio under Wine:
#   sound-server.sh start DIR   server on DIR/native, a null sink "zumbrel" (float 32, 48000 Hz,
#                               stereo) as the default sink, its output captured into
#                               DIR/capture.raw (float 32 stereo, appended), its command line
#                               on 127.0.0.1 at the port in DIR/cli-port
#   sound-server.sh stop DIR    ends the server and the capture started from DIR
# Its socket, runtime folder and state live in DIR, and it is stopped by its own process ids,
# so a user's running server is never touched. Tests find it through PULSE_SERVER=unix:DIR/native.
set -uo pipefail
action=${1:?start or stop}
dir=${2:?folder}
sink_args="sink_name=zumbrel format=float32le rate=48000 channels=2 norewinds=1"

stop()
{
  local f pid
  for f in capture server; do
    pid=$(cat "$dir/$f.pid" 2>/dev/null) || continue
    kill "$pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    rm -f "$dir/$f.pid"
  done
  # The capture loop's last recorder ends with the server.
  return 0
}

if [ "$action" = stop ]; then
  stop
  exit 0
fi

command -v pulseaudio >/dev/null && command -v parec >/dev/null || {
  echo "sound-server: pulseaudio and parec are missing (make test installs them)" >&2
  exit 1
}
stop
rm -rf "$dir"
mkdir -p "$dir"
export XDG_RUNTIME_DIR=$dir HOME=$dir PULSE_RUNTIME_PATH=$dir PULSE_STATE_PATH=$dir
export PULSE_SERVER=unix:$dir/native
unset PULSE_COOKIE
port=
for _ in $(seq 20); do
  port=$((20000 + RANDOM % 20000))
  setsid pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
    -L "module-null-sink $sink_args" -L module-always-sink \
    -L "module-cli-protocol-tcp port=$port listen=127.0.0.1" \
    </dev/null >"$dir/server.log" 2>&1 &
  echo $! >"$dir/server.pid"
  for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && break
    kill -0 "$(cat "$dir/server.pid")" 2>/dev/null || break
    sleep 0.1
  done
  pactl info >/dev/null 2>&1 && break
  port=  # the port was taken: another one
done
if [ -z "$port" ]; then
  echo "sound-server: pulseaudio did not start:" >&2
  tail -n 5 "$dir/server.log" >&2
  stop
  exit 1
fi
echo "$port" >"$dir/cli-port"
# The sink can be unloaded and loaded again by a test: the recorder is started afresh then.
: >"$dir/capture.raw"
setsid bash -c "while kill -0 $(cat "$dir/server.pid") 2>/dev/null; do
  parec -d zumbrel.monitor --format=float32le --rate=48000 --channels=2 --raw --latency-msec=20 \
    >>'$dir/capture.raw' 2>/dev/null
  sleep 0.05
done" </dev/null >/dev/null 2>&1 &
echo $! >"$dir/capture.pid"
echo "$sink_args" >"$dir/sink-args"
exit 0
