# The whole set-up: `make run` plays the game, `make test` runs the suite.
JOBS ?= $(shell nproc)

.PHONY: deps run test asan-test bench build-release build-dev build-asan clean format

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

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
