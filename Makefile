# The entry points: `make demo` builds the tool and the plug-ins and runs its demo (a
# synthesised spaced-pair scene through the plug-in, into demo/); `make test`
# builds the Linux x86-64, 32-bit Windows, 64-bit Windows, arm64 Linux and armhf
# Linux plug-in files and runs every test against each (the Windows ones under
# Wine, the 32-bit one on qemu-i386 where this machine runs no 32-bit x86 code,
# the ARM ones under qemu-user), then a bounded run of the host-calls and LV2
# fuzzers, renders a tree as a Slurm array on a one-node cluster it starts and
# stops itself, makes and checks the Debian packages and the Windows installer, and
# sums up every build's result; `make dist` packages the five builds and the web
# page, with SHA256SUMS. Each installs what it needs first.
PLATFORMS := linux win32 win64 linux-arm64 linux-armhf
# Test-only builds beside the platforms: the host-calls and LV2 fuzzers (clang),
# and the web page.
BUILT_CHECKS := fuzz web
# Then the shipped Slurm script on a one-node cluster, with the Linux build's tool,
# and the Debian packages and the Windows installer, made from the platforms' builds.
CHECKS := $(BUILT_CHECKS) cluster package
MAKEFLAGS += --no-print-directory

# `make install` puts the tool, its plotting script and the plug-in file under PREFIX.
PREFIX ?= /usr/local

.PHONY: deps deps-windows deps-arm deps-fuzz deps-bench deps-web deps-package deps-cluster web build bench build-bench demo test dist golden install precision clean $(addprefix build-,$(PLATFORMS) $(BUILT_CHECKS)) $(addprefix test-,$(PLATFORMS) $(CHECKS))

deps:
	@scripts/install-deps.sh core

deps-windows:
	@scripts/install-deps.sh core windows

deps-arm:
	@scripts/install-deps.sh core arm

deps-fuzz:
	@scripts/install-deps.sh core fuzz

deps-bench:
	@scripts/install-deps.sh core bench

# The web build's packages, and its plotting library from web/package-lock.json.
deps-web:
	@scripts/install-deps.sh core web
	@cd web && npm ci --no-audit --no-fund --loglevel=error >/dev/null

deps-package:
	@scripts/install-deps.sh core windows arm package

deps-cluster:
	@scripts/install-deps.sh core cluster

build: build-linux

build-linux: deps
build-win32 build-win64: deps-windows
build-linux-arm64 build-linux-armhf: deps-arm
build-fuzz: deps-fuzz
build-bench: deps-bench
build-web: deps-web
$(addprefix build-,$(PLATFORMS) $(BUILT_CHECKS) bench): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $*

$(addprefix test-,$(filter-out win32,$(PLATFORMS)) $(BUILT_CHECKS)): test-%: build-%
	ctest --preset $*

# The win32 suites run the DLL's own 32-bit code: natively under 32-bit Wine where
# this machine runs 32-bit x86 programs, else under qemu-i386 (scripts/x86-32.sh
# finds out, sets that up for this run only, and says which it was).
test-win32: build-win32
	scripts/x86-32.sh run ctest --preset win32

# The ARM builds' LV2 bundles are compared with the Linux x86-64 build's, by a
# program that build makes.
test-linux-arm64 test-linux-armhf: build-linux
# The web page's renders are compared with the golden cases and the tool's renders.
test-web: build-linux

# A 4-task array of cluster/slurm-render-array.sh over a generated tree, on Slurm
# daemons the test starts in a temporary folder and stops again.
test-cluster: deps-cluster build-linux
	tests/cluster/slurm-array-test.sh build/linux/brevander cluster/slurm-render-array.sh

# The packages are made into build/package and checked there (the amd64 one
# installed with apt and purged again); the installer is a 32-bit program, run the
# way the win32 suites run.
test-package: deps-package $(addprefix build-,$(PLATFORMS))
	rm -rf build/package
	scripts/make-packages.sh build/package
	tests/packaging/deb-test.sh build/package
	BREVANDER_X86_32_WHAT="the installer test" scripts/x86-32.sh run \
	  tests/packaging/installer-test.sh build/package/Brevander-*-windows-setup.exe build/win64/Brevander.dll build/win32/Brevander.dll

# Builds the page into build/web/site and serves it on this machine only (with the
# demo scene when the Linux build's tool is there).
web: build-web
	@scripts/serve-web.sh build/web/site build/linux/brevander

# The figures of BENCHMARKS.md; never part of the tests.
bench: build-linux build-bench deps-cluster
	bench/run-benchmarks.sh

# The signal path's rounding noise as a superposition error, for the README.
precision: build-bench
	build/bench/bench/brevander_superposition_error

install: build-linux
	cmake --install build/linux --prefix $(PREFIX)

# The demo needs the tool, the plug-in file it loads and the LV2 bundle beside them,
# not the test programs that the full build makes.
DEMO_TARGETS := brevander Brevander brevander_lv2
demo: deps
	cmake --preset linux >/dev/null
	cmake --build --preset linux --target $(DEMO_TARGETS)
	build/linux/brevander demo --out-dir demo --overwrite

# Every build's tests run, whatever an earlier one gave; the summary at the end
# lists each build's result, and the command fails if any failed.
test:
	@scripts/run-tests.sh $(PLATFORMS) $(CHECKS)

dist: $(addprefix build-,$(PLATFORMS)) build-web deps-package
	scripts/make-dist.sh

# Rewrites the golden render that every build must reproduce; only for an
# intended change of the effect's output.
golden: build-linux
	build/linux/tests/brevander_write_golden tests/golden/render.f32

clean:
	rm -rf build dist
