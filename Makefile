# The whole set-up: `make run` builds the game alone and plays it, `make test` builds and runs the
# suite. Each build tree is configured once from its preset, and again when CMakePresets.json
# changes (build/<preset>/.preset records the last configure); otherwise the build itself re-runs
# CMake when a CMakeLists.txt or a globbed folder changes, so a repeated `make run` goes straight
# to the game.
JOBS ?= $(shell nproc)

.PHONY: deps deps-dev run test asan-test bench build-release build-dev build-asan build-bench \
	clean format install package docs

deps:
	@./scripts/install-deps

deps-dev:
	@./scripts/install-deps --dev

build/release/.preset: CMakePresets.json | deps
	@cmake --preset release >/dev/null
	@touch $@

build/dev/.preset build/asan/.preset build/bench/.preset: CMakePresets.json | deps-dev
	@cmake --preset $(word 2,$(subst /, ,$@)) >/dev/null
	@touch $@

build-release: build/release/.preset
	@cmake --build build/release -j $(JOBS)

build-dev: build/dev/.preset
	@cmake --build build/dev -j $(JOBS)

build-asan: build/asan/.preset
	@cmake --build build/asan -j $(JOBS)

build-bench: build/bench/.preset
	@cmake --build build/bench -j $(JOBS)

# The game alone: the runtime, the game, the asset generator and the icons (no tests, benchmarks
# or examples; the release preset leaves them out).
run: build/release/.preset
	@cmake --build build/release --target kettlebrim -j $(JOBS)
	@cd build/release && exec ./kettlebrim

test: build-dev
	ctest --preset dev -j $(JOBS)

asan-test: build-asan
	ctest --preset asan -j $(JOBS)

bench: build-bench
	@for b in build/bench/bench/bench_*; do echo "== $$b"; "$$b" || exit 1; done

# Installs the runtime (headers, libtessark.so.1 and libtessark.a, libtessark_main.a, the CMake
# package, tessark.pc) and the game under PREFIX.
PREFIX ?= /usr/local
install: build-release
	cmake --install build/release --prefix $(PREFIX)

# The game as a Debian package: build/release/kettlebrim_<version>_<arch>.deb, checked by
# lintian when it is installed (an error fails the target; warnings are shown).
package: deps-dev build-release
	@rm -f build/release/kettlebrim_*.deb
	cd build/release && cpack -G DEB
	@if command -v lintian >/dev/null; then \
	  lintian --fail-on error build/release/kettlebrim_*.deb; \
	else \
	  echo "lintian is not installed: the package was not checked"; \
	fi

# The API reference from the public headers, into build/docs/html (the guide is docs/guide.md).
docs: deps-dev
	@mkdir -p build/docs
	@$(CXX) -std=c++20 -O1 -o build/docs/apiindex tools/apiindex/main.cpp
	build/docs/apiindex --check build/docs/api-index.md runtime/include/tessark/*.h
	doxygen docs/Doxyfile

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
