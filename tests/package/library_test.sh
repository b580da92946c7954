#!/usr/bin/env bash
# libkolva installed: `cmake --install` into a scratch prefix, then the C++
# example built against that prefix with find_package(kolva) (shared and
# static) and with pkg-config, each run as built (no LD_LIBRARY_PATH); all
# must print what the example built in the tree prints.
#
#   tests/package/library_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kolva-library-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() { echo "library_test: $*" >&2; exit 1; }

prefix="$scratch/prefix"
cmake --install "$build" --prefix "$prefix" > /dev/null
want=$("$build/kolva_example")

# find_package, shared (the example's own CMakeLists.txt) and static.
cmake -S "$source_dir/examples/cpp" -B "$scratch/cmake" -DCMAKE_PREFIX_PATH="$prefix" > /dev/null
cmake --build "$scratch/cmake" > /dev/null
[ "$("$scratch/cmake/combine")" = "$want" ] || fail "find_package (shared) build prints otherwise"
cat > "$scratch/static.cmake" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(kolva_static_example LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(kolva REQUIRED)
add_executable(combine ${EXAMPLE})
target_link_libraries(combine PRIVATE kolva::kolva_static)
CMAKE
mkdir "$scratch/static-src"
cp "$scratch/static.cmake" "$scratch/static-src/CMakeLists.txt"
cmake -S "$scratch/static-src" -B "$scratch/static" -DCMAKE_PREFIX_PATH="$prefix" \
  -DEXAMPLE="$source_dir/examples/cpp/combine.cpp" > /dev/null
cmake --build "$scratch/static" > /dev/null
[ "$("$scratch/static/combine")" = "$want" ] || fail "find_package (static) build prints otherwise"

# pkg-config: the programs start without LD_LIBRARY_PATH (the file's run
# path for a prefix outside the linker's own folders).
export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
read -ra flags <<< "$(pkg-config --cflags --libs kolva)"
c++ -std=c++20 "$source_dir/examples/cpp/combine.cpp" "${flags[@]}" -o "$scratch/pc-combine"
[ "$("$scratch/pc-combine")" = "$want" ] || fail "pkg-config build prints otherwise"
# C, through the same pkg-config file, linked to the shared library and
# (pkg-config --static: libkolva.a needs the C++ runtime) statically: a
# combined value printed to 15 digits, and a refused matrix's message.
cat > "$scratch/check.c" <<'C'
#include <math.h>
#include <stdio.h>
#include <kolva/kolva.h>
int main(void) {
  const double corr[4] = {1, 0.3, 0.3, 1}, p[4] = {0.01, 0.2, 0.5, NAN};
  kolva_matrix m = {corr, 2, 2, 2, 1};
  kolva_engine* e;
  if (kolva_engine_create(&m, &e) != KOLVA_OK) return 1;
  double out[2];
  kolva_pvalues pv = {KOLVA_DOUBLE, 2, 2, p, 2, 1, NULL, NULL};
  kolva_results r = {out, NULL, NULL, NULL, NULL, NULL, 0, 0};
  if (kolva_combine(e, &pv, &r, 1) != KOLVA_OK) return 1;
  kolva_engine_free(e);
  m.rows = 3;
  const int status = kolva_engine_create(&m, &e);
  printf("%.14E %d %d %s\n", out[0], isnan(out[1]) != 0, status, kolva_last_error());
  return 0;
}
C
read -ra cflags <<< "$(pkg-config --cflags kolva)"
read -ra libs <<< "$(pkg-config --libs kolva)"
read -ra static_libs <<< "$(pkg-config --static --libs kolva)"
cc -std=c99 -Wall -Wextra "${cflags[@]}" "$scratch/check.c" "${libs[@]}" -o "$scratch/check-c"
cc -std=c99 -static "${cflags[@]}" "$scratch/check.c" "${static_libs[@]}" -o "$scratch/check-c-static"
for program in check-c check-c-static; do
  got=$("$scratch/$program")
  [[ "$got" == *" 1 1 correlation matrix is not square: 3 rows, 2 columns" ]] || fail "$program printed '$got'"
done

echo "library_test: the example builds against the installed prefix with find_package (shared, static) and pkg-config; a C program through pkg-config (shared, static); all start as built"
