# Sourced by the test scripts.
# wait_for SECONDS CONDITION: polls the shell condition every 50 ms until it
# holds (status 0) or SECONDS have passed (status 1).
wait_for() {
  deadline=$(($(date +%s%N) / 1000000 + $1 * 1000))
  while ! eval "$2"; do
    [ $(($(date +%s%N) / 1000000)) -ge $deadline ] && return 1
    sleep 0.05
  done
}
