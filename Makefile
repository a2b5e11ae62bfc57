# The two commands that matter: `make run` and `make test`.
PREFIX ?= /usr/local
JOBS   ?= $(shell nproc)

.PHONY: all deps run test bench install clean release dev

all: release

deps:
	@scripts/install-deps

release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS) --target kelvane
	@ln -sfn release/kelvane build/kelvane

dev: deps
	@cmake --preset dev >/dev/null
	@cmake --build --preset dev -j $(JOBS)

run: release
	build/kelvane $(ARGS)

test: dev
	ctest --preset dev -j $(JOBS)

bench: deps
	@scripts/install-deps --extra
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS) --target kelvane kelvane_bench kelvane_serialization_bench kelvane_sysinfo_bench kelvane_network_bench kelvane_window_bench
	@build/release/bench/kelvane_bench --benchmark_counters_tabular=true
	@build/release/bench/kelvane_serialization_bench
	@build/release/bench/kelvane_sysinfo_bench --benchmark_counters_tabular=true
	@bench/network.py build/release/bench/kelvane_network_bench build/release/kelvane
	@bench/startup.py build/release

install: release
	cmake --install build/release --prefix $(PREFIX)

clean:
	rm -rf build
