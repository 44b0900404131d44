# Convenience targets; ./run.sh and ./test.sh are the entry points for a bare machine.
.PHONY: all build test bench install clean
all: build
build:
	./scripts/build.sh
test: build
	cd build && ctest --output-on-failure -j2
bench: build
	./build/bench/vantorel_bench
clean:
	rm -rf build
