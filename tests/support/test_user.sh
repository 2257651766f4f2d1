# For the test scripts that run programs as an ordinary user, as real systems do: source it.

# pick_test_user NAME: as root, the system user NAME, made when missing; otherwise the calling user.
# Sets $owner; false when the user cannot be made.
pick_test_user() {
  if [ "$(id -u)" -eq 0 ]; then
    id "$1" >/dev/null 2>&1 || useradd --system --no-create-home --shell /bin/sh "$1" || return 1
    owner=$1
  else
    owner=$(id -un)
  fi
}

# as_owner VAR=VALUE... COMMAND...: runs the command as $owner with only the given environment.
as_owner() {
  if [ "$owner" = "$(id -un)" ]; then
    env -i "$@"
  else
    runuser -u "$owner" -- env -i "$@"
  fi
}
