# Convenience targets; ./run.sh and ./test.sh are the entry points for a bare machine.
.PHONY: all build build-all test bench install clean
all: build
build:
	./scripts/build.sh
build-all:
	./scripts/build.sh --all
test: build-all
	cd build && ctest --output-on-failure -j2
bench: build-all
	./build/bench/vantorel_start_bench
	./build/bench/vantorel_bench
	./bench/render_bench.sh
install:
	./scripts/build.sh
	cmake --install build --component vst3 --prefix "$(HOME)/.vst3"
clean:
	rm -rf build
