# Port checks of scripts/run and scripts/test, sourced by both.

# Succeeds when port $1 of 127.0.0.1 cannot be bound the way a server binds it (SO_REUSEADDR):
# something listens there, or a program's connection holds it as its own end, which a test
# connection would not see.
port_taken() {
  ! perl -MSocket -e 'socket(my $s, PF_INET, SOCK_STREAM, 0) or exit 2;
    setsockopt($s, SOL_SOCKET, SO_REUSEADDR, 1) or exit 2;
    bind($s, pack_sockaddr_in($ARGV[0], inet_aton("127.0.0.1"))) or exit 1' "$1"
}

# Warns when port $1 lies in the range the system hands out to outgoing connections: any
# program's connection may hold it for a while, and a server cannot start there meanwhile.
warn_outgoing_range() {
  local low high
  read -r low high 2>/dev/null </proc/sys/net/ipv4/ip_local_port_range || return 0
  if [ "$1" -ge "$low" ] && [ "$1" -le "$high" ]; then
    echo "Port $1 lies in this machine's range for outgoing connections ($low-$high): any program's" >&2
    echo "connection may take it for a while, and a server cannot start there meanwhile. A port" >&2
    echo "from 1025 to $((low - 1)) is safer." >&2
  fi
}
