# The two commands of the README: `make run` and `make test`.
.PHONY: deps build run test bench fuzz-long clean

deps:
	@tools/deps

build: deps
	@tools/wine-prefix
	cmake -S . -B build/win $(if $(wildcard build/win/CMakeCache.txt),,-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build/win -j2
	cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
	cmake --build build/native -j2

run: deps
	@tools/run

test: build
	@tools/test

clean:
	rm -rf build

fuzz-long: deps
	@tools/fuzz 300

bench: build
	@tests/bench/run
	@tools/wine-run build/win/tarvex-rs232c-bench.exe
	@tools/wine-run build/win/tarvex-bench-ieee1284.exe
	@tools/wine-run build/win/tarvex-usb-bench.exe
	@tools/wine-run build/win/tarvex-display-bench.exe
	@tools/wine-run build/win/tarvex-receive-bench.exe
