# Shared by the benchmark scripts: the build folder from the one argument, and
# a clear message when a program of the build or a tool is missing.

# Sets `build` to the absolute path of the build folder given as the only argument.
build_folder() {
  if [ $# -ne 1 ]; then
    echo "usage: $0 BUILD_DIR" >&2
    exit 1
  fi
  build=$(cd "$1" && pwd)
}

require_built() {
  local program
  for program in "$@"; do
    [ -x "$program" ] || { echo "$program is missing: build first (make build)" >&2; exit 1; }
  done
}

require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: run make deps" >&2; exit 1; }
  done
}
