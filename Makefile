# The two entry points: `make demo` builds the plug-in and runs it once through the
# host program; `make test` builds everything and runs every test. Both install what
# they need first.
.PHONY: deps build demo test clean

deps:
	@scripts/install-deps.sh

build: deps
	cmake --preset linux >/dev/null
	cmake --build --preset linux

demo: build
	build/linux/brevander-probe

test: build
	ctest --preset linux

clean:
	rm -rf build
