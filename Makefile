# Front door: make build | make test | make demo | make bench | make install | make package. See README.md.
SHELL := /bin/bash
JOBS  ?= $(shell nproc)

.PHONY: all deps build ship test demo bench install package clean

all: build

deps:
	@bash scripts/deps.sh

build: deps
	@cmake --preset native >build-native.log 2>&1 || { cat build-native.log; exit 1; }
	@cmake --build --preset native -j $(JOBS)
	@for p in mingw mingw64; do \
	  cmake --preset $$p >build-$$p.log 2>&1 || { cat build-$$p.log; exit 1; }; \
	  cmake --build --preset $$p -j $(JOBS) || exit 1; \
	done
	@rm -f build-native.log build-mingw.log build-mingw64.log

# setupkit and the shipped stubs only: the tool from the native tree, setup.exe and
# uninst.exe from the mingw (32-bit) and mingw64 (64-bit) trees. DESTDIR is honoured.
PREFIX ?= /usr/local
ship: deps
	@cmake --preset native >build-native.log 2>&1 || { cat build-native.log; exit 1; }
	@cmake --build --preset native -j $(JOBS) --target setupkit
	@for p in mingw mingw64; do \
	  cmake --preset $$p >build-$$p.log 2>&1 || { cat build-$$p.log; exit 1; }; \
	  cmake --build --preset $$p -j $(JOBS) --target setup uninst || exit 1; \
	done
	@rm -f build-native.log build-mingw.log build-mingw64.log

install: ship
	@cmake --install build/native --prefix "$(PREFIX)" --strip

# A Debian package of the same files, written to build/native/package/.
package: ship
	@cd build/native && cpack -G DEB

# Runs every tier and ends with one summary line; exits non-zero on any failure.
test: build
	@bash scripts/run-tests.sh

# Packs the sample product and runs its installer under Wine (scripts/demo.sh).
demo: build
	@bash scripts/demo.sh

# The peers measured against (7zz, makensis, xz) and Wine are the bench's own dependencies.
bench: build
	@bash scripts/bench-deps.sh
	@bash bench/run.sh

# libFuzzer campaigns with ASan and UBSan (clang), not part of `make test`: each
# target runs FUZZ_SECONDS and the run prints executions and findings per target.
FUZZ_SECONDS ?= 300
.PHONY: fuzz
fuzz: deps
	@cmake --preset fuzz >build-fuzz.log 2>&1 || { cat build-fuzz.log; exit 1; }
	@cmake --build --preset fuzz -j $(JOBS)
	@rm -f build-fuzz.log
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run.sh

clean:
	rm -rf build
