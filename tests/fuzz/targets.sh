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

# build_fuzz_targets OUT: compiles the logic the targets reach and the scripted fake
# platform once, with the fuzzer's coverage and ASan+UBSan, into OUT/libfuzzlogic.a,
# then links each target against it; the linker takes from the archive only what a
# target uses. Whole folders where the targets reach into most of them (so a new
# helper there is picked up), single files from app/ and ui/, whose other files need
# settings only the CMake build knows. Libstdc++'s own checks are on, so an index
# past a string's end fails at once instead of reading the buffer behind it.
build_fuzz_targets() {
  local out=$1
  local cxx=(clang++ -std=c++17 -g -O1 -fno-sanitize-recover=undefined -D_GLIBCXX_ASSERTIONS
             -Isrc -Itests/unit)
  # The fake first: it takes longest, and the rest compile beside it.
  local sources=(tests/unit/fake_platform.cpp src/packages/*.cpp src/install/*.cpp
                 src/platform/*.cpp src/app/command_line_options.cpp src/app/message_texts.cpp
                 src/ui/content_disposition.cpp)
  local jobs
  jobs=$(nproc 2>/dev/null || echo 2)
  rm -rf "$out/obj"
  mkdir -p "$out/obj"

  # One compiler per core; a failed compile fails the build when it is waited for.
  # The fake is not traced for coverage: its branches are the scenario's, not the
  # product's, and tracing them would only steer the fuzzer (and slow it) for nothing.
  local pids=() source object coverage
  for source in "${sources[@]}"; do
    object="$out/obj/$(printf '%s' "${source%.cpp}" | tr / _).o"
    coverage=fuzzer-no-link,
    [[ $source == tests/* ]] && coverage=
    "${cxx[@]}" -fsanitize="${coverage}address,undefined" -c "$source" -o "$object" &
    pids+=("$!")
    if [ "${#pids[@]}" -ge "$jobs" ]; then
      wait "${pids[0]}"
      pids=("${pids[@]:1}")
    fi
  done
  local pid
  for pid in "${pids[@]}"; do wait "$pid"; done
  rm -f "$out/libfuzzlogic.a"
  ar rcs "$out/libfuzzlogic.a" "$out"/obj/*.o

  local target
  pids=()
  for target in "${FUZZ_TARGETS[@]}"; do
    "${cxx[@]}" -fsanitize=fuzzer,address,undefined "tests/fuzz/$target.cpp" \
      "$out/libfuzzlogic.a" -o "$out/$target" &
    pids+=("$!")
    if [ "${#pids[@]}" -ge "$jobs" ]; then
      wait "${pids[0]}"
      pids=("${pids[@]:1}")
    fi
  done
  for pid in "${pids[@]}"; do wait "$pid"; done
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
