# The two commands that matter: `make run` and `make test`.
PREFIX ?= /usr/local
JOBS   ?= $(shell nproc)

.PHONY: all deps run test bench fuzz install clean release dev windows test-windows check-source

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

# The Windows suite joins when Qt for mingw is at hand (KELVANE_QT_MINGW, or
# the cache built before); building Qt for it is left to `make windows`.
test: dev check-source
	ctest --preset dev -j $(JOBS)
	@if [ -n "$$KELVANE_QT_MINGW" ] || scripts/qt-mingw --available; then \
	  $(MAKE) --no-print-directory test-windows; \
	else echo "make test: no Qt for mingw (KELVANE_QT_MINGW), so no Windows suite"; fi

check-source: deps
	@scripts/check-source

# Cross-compiles the whole tree for Windows x86_64 into build/windows.
windows: deps
	@scripts/install-deps --windows
	@qt=$$(scripts/qt-mingw) && cmake --preset windows -DCMAKE_PREFIX_PATH="$$qt" >/dev/null
	@cmake --build --preset windows -j $(JOBS)

# The cross-built suite under wine; the end-to-end check of --print compares
# with the Linux program of the dev build when there is one.
test-windows: windows
	@KELVANE_LINUX_PROGRAM=$(CURDIR)/build/dev/kelvane scripts/wine-suite build/windows

bench: deps
	@scripts/install-deps --extra
	@cmake --preset release >/dev/null
	@cmake --build --preset release -j $(JOBS) --target kelvane kelvane_bench kelvane_serialization_bench kelvane_sysinfo_bench kelvane_network_bench kelvane_window_bench kelvane_working_file_bench kelvane_loaders_bench
	@bench/report.py build/release

# Every parser of untrusted input under libFuzzer for FUZZ_SECONDS each;
# new inputs gather in build/fuzz/corpus, the committed seeds stay as they are,
# and large seeds (fuzz/large_seeds.py) are generated beside them.
# FUZZ_MAX_LEN lets a target's inputs grow to what the program reads: a
# translator INI file up to its bound and one byte past it; resolv.conf,
# os-release and lease files up to the 64 KiB and 256 KiB read of them, and
# DHCPv6 leases to the 8 MiB of their 32 files; .reg and XML files to 4 MiB,
# which holds every item, depth and reference bound of their readers (their
# 64 MiB size bound is checked before reading, and an input of that size takes
# seconds under the sanitizers); query, connection, address and environment
# texts, which have no bound, well past any real one; received ICMP packets
# up to the largest datagram; saved snapshots to a megabyte, a few hundred
# links (their 32 MiB bound is checked before parsing). Targets without an entry
# keep libFuzzer's default.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS = fuzz_xml fuzz_adapter_file fuzz_regfile fuzz_ini fuzz_wql fuzz_connections \
               fuzz_resolvconf fuzz_osrelease fuzz_leases fuzz_dhcp4_leases fuzz_ip_helpers \
               fuzz_expand_env fuzz_icmp fuzz_snapshot
FUZZ_MAX_LEN = fuzz_xml:4194304 fuzz_adapter_file:4194304 fuzz_regfile:4194304 fuzz_ini:1048577 \
               fuzz_wql:1048576 fuzz_connections:1048576 fuzz_resolvconf:65536 fuzz_osrelease:65536 \
               fuzz_leases:8388608 fuzz_dhcp4_leases:262144 fuzz_ip_helpers:1048576 \
               fuzz_expand_env:262144 fuzz_icmp:65536 fuzz_snapshot:1048576
fuzz: deps
	@scripts/install-deps --extra
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	@fuzz/large_seeds.py build/fuzz/seeds
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build/fuzz/corpus/$$t build/fuzz/seeds/$$t build/fuzz/findings; \
	  len=; for p in $(FUZZ_MAX_LEN); do [ "$${p%%:*}" = "$$t" ] && len="-max_len=$${p#*:}"; done; \
	  echo "== $$t ($(FUZZ_SECONDS) s$${len:+, $$len})"; \
	  build/fuzz/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 $$len \
	    -print_final_stats=1 -artifact_prefix=build/fuzz/findings/$$t- \
	    build/fuzz/corpus/$$t fuzz/corpus/$$t build/fuzz/seeds/$$t > build/fuzz/$$t.log 2>&1; status=$$?; \
	  grep -E "^(Done|stat::number_of_executed_units)" build/fuzz/$$t.log; \
	  if [ $$status -ne 0 ]; then tail -40 build/fuzz/$$t.log; exit 1; fi; \
	done

install: release
	cmake --install build/release --prefix $(PREFIX)

clean:
	rm -rf build
