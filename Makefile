# The entry points: `make demo` builds everything and runs the tool's demo (a
# synthesised spaced-pair scene through the plug-in, into demo/); `make test`
# builds the Linux, 32-bit Windows and 64-bit Windows plug-in files and runs
# every test against each (the Windows ones under Wine);
# `make dist` packages the three files. Each installs what it needs first.
PLATFORMS := linux win32 win64
MAKEFLAGS += --no-print-directory

.PHONY: deps deps-windows build demo test dist golden clean $(addprefix build-,$(PLATFORMS)) $(addprefix test-,$(PLATFORMS))

deps:
	@scripts/install-deps.sh core

deps-windows:
	@scripts/install-deps.sh core windows

build: build-linux

build-linux: deps
build-win32 build-win64: deps-windows
$(addprefix build-,$(PLATFORMS)): build-%:
	cmake --preset $* >/dev/null
	cmake --build --preset $*

$(addprefix test-,$(PLATFORMS)): test-%: build-%
	ctest --preset $*

demo: build-linux
	build/linux/brevander demo --out-dir demo

test: $(addprefix test-,$(PLATFORMS))

dist: $(addprefix build-,$(PLATFORMS))
	scripts/make-dist.sh

# Rewrites the golden render that every build must reproduce; only for an
# intended change of the effect's output.
golden: build-linux
	build/linux/tests/brevander_write_golden tests/golden/render.f32

clean:
	rm -rf build dist
