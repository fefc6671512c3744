# The README's commands. Each installs what is missing first.
NATIVE  := build/native
WINDOWS := build/windows
JOBS    ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all bootstrap build native windows run test clean

all: build

bootstrap:
	@scripts/bootstrap

build: bootstrap native windows

native:
	@test -f $(NATIVE)/CMakeCache.txt || cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(NATIVE) -j $(JOBS)

windows:
	@test -f $(WINDOWS)/CMakeCache.txt || cmake -S . -B $(WINDOWS) -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
	cmake --build $(WINDOWS) -j $(JOBS)

run: build
	scripts/run

test: build
	scripts/test-all

clean:
	rm -rf build
