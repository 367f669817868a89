# The whole set-up: `make run` plays the game, `make test` runs the suite.
JOBS ?= $(shell nproc)

.PHONY: deps run test asan-test bench build-release build-dev build-asan clean format install package docs

deps:
	@./scripts/install-deps

build-release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS)

build-dev: deps
	@cmake --preset dev >/dev/null
	@cmake --build --preset dev -j $(JOBS)

build-asan: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan -j $(JOBS)

run: build-release
	cd build/release && ./kettlebrim

test: build-dev
	ctest --preset dev -j $(JOBS)

asan-test: build-asan
	ctest --preset asan -j $(JOBS)

bench: build-release
	@for b in build/release/bench/bench_*; do echo "== $$b"; "$$b" || exit 1; done

# Installs the runtime (headers, libtessark, CMake package, tessark.pc) and the game under PREFIX.
PREFIX ?= /usr/local
install: build-release
	cmake --install build/release --prefix $(PREFIX)

# The game as a Debian package: build/release/kettlebrim_<version>_<arch>.deb.
package: build-release
	cd build/release && cpack -G DEB

# The API reference from the public headers, into build/docs/html (the guide is docs/guide.md).
docs:
	@mkdir -p build/docs
	@$(CXX) -std=c++20 -O1 -o build/docs/apiindex tools/apiindex/main.cpp
	build/docs/apiindex --check build/docs/api-index.md runtime/include/tessark/*.h
	doxygen docs/Doxyfile

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
