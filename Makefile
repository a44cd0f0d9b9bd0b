# make run    -- install what is missing, build and start the demo
# make test   -- install what is missing, build with sanitizers, run every test
# make assets -- regenerate the pictures and the music under resources/
# make windows -- cross-build build-win/demo.exe and build-win/demo-win64.zip
JOBS ?= $(shell nproc)

.PHONY: run test build build-test build-es3 windows assets clean

build:
	tools/bootstrap.sh run
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j $(JOBS)

# The demo ends with status 1 on every way out, the normal end included.
run: build
	./build/demo || [ $$? -eq 1 ]

build-test:
	tools/bootstrap.sh test
	cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON -DDEMO_TESTS=ON \
	  -DDEMO_WIN_EXE=$(CURDIR)/build-win/demo.exe
	cmake --build build-test -j $(JOBS)

# The demo and the capture tool drawing through gl11/ (OpenGL 1.1 on
# OpenGL ES 3.0): build-es3/demo and build-es3/demo-capture.
build-es3:
	tools/bootstrap.sh run
	cmake -S . -B build-es3 -DCMAKE_BUILD_TYPE=Release -DDEMO_GLES3=ON
	cmake --build build-es3 -j $(JOBS) --target demo demo-capture

# The libraries are cross-built once into build-deps-win/ (kept by make clean).
windows:
	tools/bootstrap.sh windows
	tools/windows/build-deps.sh build-deps-win
	cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DDEMO_WIN_DEPS=$(CURDIR)/build-deps-win/prefix
	cmake --build build-win -j $(JOBS)

# The tests run the Windows build too (under Wine).
test: windows build-test
	cd build-test && ctest --output-on-failure -j $(JOBS)

assets:
	tools/bootstrap.sh test
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j $(JOBS) --target assets

clean:
	rm -rf build build-test build-win build-es3
