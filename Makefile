# The two commands a newcomer needs: `make demo` and `make test`.
.PHONY: all deps build demo test test-asan test-tsan test-default bench clean format

JOBS ?= $(shell nproc)

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset default >/dev/null
	cmake --build --preset default -j $(JOBS)

demo: build
	scripts/demo.sh

# Sanitizer runs first so that the output ends with the full suite's ctest summary.
test: deps test-asan test-tsan test-default

test-asan:
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan

test-tsan:
	cmake --preset tsan >/dev/null
	cmake --build --preset tsan -j $(JOBS)
	ctest --preset tsan

test-default: build
	ctest --preset default

bench: deps
	cmake --preset bench >/dev/null
	cmake --build --preset bench -j $(JOBS)
	scripts/bench.sh build/bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
