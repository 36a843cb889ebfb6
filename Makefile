# The two commands a newcomer needs. Each does its own set-up first.
#   make demo   build and run the main job on the bundled sample, and render the asset it wrote
#   make test   build everything and run every test (the Windows build's under Wine),
#               then each fuzz target for a minute
#   make bench  the stage benchmarks, then the end-to-end comparison
#               (bench/run-benchmarks.sh, several minutes; writes bench/RESULTS.md)
#               and the levels of detail's (bench/lod-benchmark.sh, its own section there)
.PHONY: demo test setup setup-demo bench clean

setup:
	bash scripts/setup.sh test

setup-demo:
	bash scripts/setup.sh demo

test: setup
	cmake --preset release
	cmake --build --preset release
	cmake --preset debug
	cmake --build --preset debug
	ctest --preset debug
	cmake --preset mingw-i686
	cmake --build --preset mingw-i686
	bash scripts/windows-tests.sh
	cmake --preset fuzz
	cmake --build --preset fuzz
	ctest --preset fuzz

demo: setup-demo
	cmake --preset release
	cmake --build --preset release
	rm -rf build/demo
	./build/release/src/cli/veldara-export inspect examples/crate.xml
	./build/release/src/cli/veldara-export export examples/crate.xml --repository build/demo/Repository \
		--asset Crate --category Props --init
	./build/release/src/cli/veldara-export preview build/demo/Repository Crate -o build/demo/Crate.png --timings

bench: setup
	cmake --preset release
	cmake --build --preset release
	./build/release/bench/xml_parse_benchmark
	./build/release/bench/weld_benchmark
	./build/release/bench/mesh_export_benchmark
	./build/release/bench/draw_optimization_benchmark
	bash bench/lookup-scaling.sh
	bash bench/run-benchmarks.sh
	bash bench/lod-benchmark.sh

clean:
	rm -rf build
