# Front door: make build | make test | make bench. See README.md.
SHELL := /bin/bash
JOBS  ?= $(shell nproc)

.PHONY: all deps build test bench clean

all: build

deps:
	@bash scripts/deps.sh

build: deps
	@cmake --preset native >build-native.log 2>&1 || { cat build-native.log; exit 1; }
	@cmake --build --preset native -j $(JOBS)
	@cmake --preset mingw >build-mingw.log 2>&1 || { cat build-mingw.log; exit 1; }
	@cmake --build --preset mingw -j $(JOBS)
	@rm -f build-native.log build-mingw.log

# Runs every tier and ends with one summary line; exits non-zero on any failure.
test: build
	@bash scripts/run-tests.sh

bench: build
	@bash bench/run.sh

clean:
	rm -rf build
