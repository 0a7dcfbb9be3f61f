# The fuzz targets and how they are built, shared by tests/fuzz/run (the short run of
# the test suite) and bench/fuzz-soak (the long one). Sourced from the project root.

# Every target: tests/fuzz/<name>.cpp, with its seeds (if any) in tests/fuzz/seeds/<name>.
FUZZ_TARGETS=(
  fuzz_command_line
  fuzz_version
  fuzz_format_text
  fuzz_content_disposition
  fuzz_install_command
  fuzz_version_decision
)

# Longest input the fuzzer makes up; every target's texts fit well within it.
FUZZ_MAX_LEN=600

# _fuzz_start COMMAND...: runs it in the background, one job per core: with that many
# running, waits for the oldest first. A failed job fails the build (set -e) when it
# is waited for, here or in _fuzz_wait_all.
_fuzz_pids=()
_fuzz_start() {
  "$@" &
  _fuzz_pids+=("$!")
  if [ "${#_fuzz_pids[@]}" -ge "$(nproc 2>/dev/null || echo 2)" ]; then
    wait "${_fuzz_pids[0]}"
    _fuzz_pids=("${_fuzz_pids[@]:1}")
  fi
}

_fuzz_wait_all() {
  local pid
  for pid in "${_fuzz_pids[@]}"; do wait "$pid"; done
  _fuzz_pids=()
}

# _fuzz_stale OUTPUT DEPFILE: true when OUTPUT is missing or older than any file its
# compiler-written DEPFILE (-MMD) names, sources and headers alike.
_fuzz_stale() {
  local output=$1 depfile=$2 dep
  [[ -f $output && -f $depfile ]] || return 0
  for dep in $(sed -e 's/^[^:]*://' -e 's/\\$//' "$depfile"); do
    [[ $dep -nt $output ]] && return 0
  done
  return 1
}

# build_fuzz_targets OUT: compiles the logic the targets reach and the scripted fake
# platform once, with the fuzzer's coverage and ASan+UBSan, into OUT/libfuzzlogic.a,
# then links each target against it; the linker takes from the archive only what a
# target uses. Whole folders where the targets reach into most of them (so a new
# helper there is picked up), single files from app/ and browser_offer/, whose other files need
# settings only the CMake build knows. The build settings (support/build_settings.cpp)
# get the CMake build's defaults: the installers ask for the packages' publisher, and
# with none pinned check nothing, as the default build. Libstdc++'s own checks are on,
# so an index past a string's end fails at once instead of reading the buffer behind it. The
# warnings are the CMake build's, as clang sees them; KORVANA_WERROR=ON in the
# environment (scripts/test-all) makes them errors, as the CMake option does there.
# Only what changed since the last build in OUT is made again (the compiler's
# dependency files say what each object read); other flags or another compiler start
# afresh. Compiles go through cmake/compiler-cache (ccache, when installed: what an
# earlier build on this machine compiled, in any checkout, is taken from its cache);
# no object carries the checkout's path, so one from another checkout is the same.
build_fuzz_targets() {
  local out=$1
  local cxx=(clang++ -std=c++17 -g -O1 -fno-sanitize-recover=undefined -D_GLIBCXX_ASSERTIONS
             -Wall -Wextra -Isrc -Itests/unit "-ffile-prefix-map=$PWD=."
             '-DKORVANA_DOWNLOAD_HOST=L"download.korvana.example"'
             '-DKORVANA_BROWSER_PUBLISHER=L""' '-DKORVANA_PACKAGE_PUBLISHER=L""')
  [[ ${KORVANA_WERROR:-OFF} =~ ^(ON|on|1|TRUE|true|YES|yes)$ ]] && cxx+=(-Werror)
  local cc=(cmake/compiler-cache "${cxx[@]}")
  # The fake first: it takes longest, and the rest compile beside it.
  local sources=(tests/unit/fake_platform.cpp src/packages/*.cpp src/install/*.cpp
                 src/support/*.cpp src/app/command_line_options.cpp src/resources/compiled_catalog.cpp
                 src/browser_offer/content_disposition.cpp)
  local flags
  flags="$(clang++ --version | head -n 1): ${cxx[*]}"
  if [[ "$(cat "$out/obj/flags" 2>/dev/null)" != "$flags" ]]; then
    rm -rf "$out/obj"
    mkdir -p "$out/obj"
    printf '%s' "$flags" >"$out/obj/flags"
  fi

  # The fake is not traced for coverage: its branches are the scenario's, not the
  # product's, and tracing them would only steer the fuzzer (and slow it) for nothing.
  local source object coverage objects=() changed=""
  for source in "${sources[@]}"; do
    object="$out/obj/$(printf '%s' "${source%.cpp}" | tr / _).o"
    objects+=("$object")
    _fuzz_stale "$object" "$object.d" || continue
    changed=1
    coverage=fuzzer-no-link,
    [[ $source == tests/* ]] && coverage=
    rm -f "$object"
    _fuzz_start "${cc[@]}" -fsanitize="${coverage}address,undefined" -MMD -MF "$object.d" \
      -c "$source" -o "$object"
  done
  _fuzz_wait_all
  # Exactly this list (an object left behind by a source that has gone stays out), in
  # the order of its names: the order decides the targets' layout, and with it the
  # course a run with a given seed takes.
  if [[ -n $changed || ! -f $out/libfuzzlogic.a ]]; then
    rm -f "$out/libfuzzlogic.a"
    mapfile -t objects < <(printf '%s\n' "${objects[@]}" | LC_ALL=C sort)
    ar rcs "$out/libfuzzlogic.a" "${objects[@]}"
  fi

  # Each target: its own source compiled (as -fsanitize=fuzzer would, less the link),
  # then linked with libFuzzer and the archive.
  local target
  for target in "${FUZZ_TARGETS[@]}"; do
    if _fuzz_stale "$out/$target" "$out/obj/$target.o.d" || [[ $out/libfuzzlogic.a -nt $out/$target ]]; then
      rm -f "$out/$target"
      _fuzz_start _fuzz_build_target "$out" "$target"
    fi
  done
  _fuzz_wait_all
}

_fuzz_build_target() {
  local out=$1 target=$2
  "${cc[@]}" -fsanitize=fuzzer-no-link,address,undefined -MMD -MF "$out/obj/$target.o.d" \
    -c "tests/fuzz/$target.cpp" -o "$out/obj/$target.o"
  "${cxx[@]}" -fsanitize=fuzzer,address,undefined "$out/obj/$target.o" "$out/libfuzzlogic.a" \
    -o "$out/$target"
}

# seed_corpus TARGET DIR: adds TARGET's seeds to the corpus in DIR (made when missing),
# keeping whatever the fuzzer saved there before.
seed_corpus() {
  local target=$1 dir=$2
  mkdir -p "$dir"
  if [ -d "tests/fuzz/seeds/$target" ]; then
    cp "tests/fuzz/seeds/$target"/* "$dir"/
  fi
}
