# make run    -- install what is missing, build and start the demo
# make test   -- install what is missing, build with sanitizers, run every test
# make assets -- regenerate the pictures and the music under resources/
JOBS ?= $(shell nproc)

.PHONY: run test build build-test assets clean

build:
	tools/bootstrap.sh run
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j $(JOBS)

# The demo ends with status 1 on every way out, the normal end included.
run: build
	./build/demo || [ $$? -eq 1 ]

build-test:
	tools/bootstrap.sh test
	cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON -DDEMO_TESTS=ON
	cmake --build build-test -j $(JOBS)

test: build-test
	cd build-test && ctest --output-on-failure -j $(JOBS)

assets:
	tools/bootstrap.sh test
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j $(JOBS) --target assets

clean:
	rm -rf build build-test
