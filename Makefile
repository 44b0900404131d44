# Convenience targets; ./run.sh and ./test.sh are the entry points for a bare machine.
.PHONY: all build test bench install clean
all: build
build:
	./scripts/build.sh
test: build
	cd build && ctest --output-on-failure -j2
bench: build
	./build/bench/vantorel_bench
	./bench/render_bench.sh
install:
	./scripts/build.sh --target vantorel_bundle
	cmake --install build --component vst3 --prefix "$(HOME)/.vst3"
clean:
	rm -rf build
