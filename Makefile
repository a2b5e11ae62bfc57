# The two commands that matter: `make run` and `make test`.
PREFIX ?= /usr/local
JOBS   ?= $(shell nproc)

.PHONY: all deps run test bench fuzz install clean release dev

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
	@cmake --build --preset release -j $(JOBS) --target kelvane kelvane_bench kelvane_serialization_bench kelvane_sysinfo_bench kelvane_network_bench kelvane_window_bench kelvane_loaders_bench
	@bench/report.py build/release

# Every parser of untrusted input under libFuzzer for FUZZ_SECONDS each;
# new inputs gather in build/fuzz/corpus, the committed seeds stay as they are.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = fuzz_xml fuzz_adapter_file fuzz_regfile fuzz_ini fuzz_wql fuzz_connections \
               fuzz_resolvconf fuzz_osrelease fuzz_leases
fuzz: deps
	@scripts/install-deps --extra
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t build/fuzz/findings; \
	  echo "== $$t ($(FUZZ_SECONDS) s)"; \
	  build/fuzz/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	    -print_final_stats=1 -artifact_prefix=build/fuzz/findings/$$t- \
	    build/fuzz/corpus/$$t fuzz/corpus/$$t > build/fuzz/$$t.log 2>&1; status=$$?; \
	  grep -E "^(Done|stat::number_of_executed_units)" build/fuzz/$$t.log; \
	  if [ $$status -ne 0 ]; then tail -40 build/fuzz/$$t.log; exit 1; fi; \
	done

install: release
	cmake --install build/release --prefix $(PREFIX)

clean:
	rm -rf build
