# make run    -- install what is missing, build and start the demo
# make test   -- install what is missing, build with sanitizers, run every test
# make assets -- regenerate the pictures and the music under resources/
# make windows -- cross-build build-win/demo.exe and build-win/demo-win64.zip
# make web    -- build-web/: the demo as a static page (WebAssembly, WebGL 2), and build-web/demo-web.zip
# make serve-web -- make web, then serve the page (build-web/) on http://127.0.0.1:8000/
# make package -- build-pkg/demo017_VERSION_amd64.deb, the Debian package
# make release -- dist/: the package, the Windows and browser zips, the video, the contact sheet, SHA256SUMS
JOBS ?= $(shell nproc)

.PHONY: run test build build-test build-es3 windows assets clean web serve-web

build:
	tools/bootstrap.sh run
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j $(JOBS)

# The demo ends with status 1 on every way out, the normal end included.
# Without a graphical session it could only fail (with that same 1): say so
# before building anything.
run:
	@[ -n "$$DISPLAY$$WAYLAND_DISPLAY" ] || { echo "make run: no graphical session" \
	  "(DISPLAY and WAYLAND_DISPLAY are unset): start it from a desktop's terminal" >&2; exit 1; }
	$(MAKE) build
	./build/demo || [ $$? -eq 1 ]

build-test:
	tools/bootstrap.sh test
	cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON -DDEMO_TESTS=ON \
	  -DDEMO_WIN_EXE=$(CURDIR)/build-win/demo.exe -DDEMO_WEB_DIR=$(CURDIR)/build-web \
	  -DDEMO_PACKAGE_BUILD=$(CURDIR)/build-pkg
	cmake --build build-test -j $(JOBS)

# The demo and the capture tool drawing through gl11/ (OpenGL 1.1 on
# OpenGL ES 3.0): build-es3/demo and build-es3/demo-capture.
build-es3:
	tools/bootstrap.sh run
	cmake -S . -B build-es3 -DCMAKE_BUILD_TYPE=Release -DDEMO_GLES3=ON
	cmake --build build-es3 -j $(JOBS) --target demo demo-capture

# The libraries are cross-built once into build-deps-win/ (kept by make clean).
# The zip is dated by the last commit (SOURCE_DATE_EPOCH, set below).
windows:
	tools/bootstrap.sh windows
	tools/windows/build-deps.sh build-deps-win
	cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DDEMO_WIN_DEPS=$(CURDIR)/build-deps-win/prefix
	cmake --build build-win -j $(JOBS)

# The tests run the Windows build too (under Wine), the browser build (in
# chromium), and check the Debian package.
test: windows web package build-test
	cd build-test && ctest --output-on-failure -j $(JOBS)

assets:
	tools/bootstrap.sh test
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
	cmake --build build -j $(JOBS) --target assets

# The browser build. Its libraries are built once into build-deps-web/ (kept
# by make clean); Debian's emcc finds its JavaScript modules through NODE_PATH.
# build-web/ gets the page's files only (it is what serve-web serves and
# what is put on a server); the CMake tree is build-web-cmake/.
WEB_ENV = NODE_PATH=/usr/share/nodejs
web:
	tools/bootstrap.sh web
	$(WEB_ENV) tools/web/build-deps.sh build-deps-web
	rm -rf build-web/cmake
	$(WEB_ENV) emcmake cmake -S . -B build-web-cmake -DCMAKE_BUILD_TYPE=Release \
	  -DDEMO_WEB_DEPS=$(CURDIR)/build-deps-web/prefix -DDEMO_WEB_OUT=$(CURDIR)/build-web >/dev/null
	$(WEB_ENV) cmake --build build-web-cmake -j $(JOBS)

# Only the page's own files, nothing else of build-web/ and no listing.
serve-web: web
	tools/web/serve.py build-web --bind 127.0.0.1 --port 8000

clean:
	rm -rf build build-test build-win build-es3 build-web build-web-cmake build-pkg

# The Debian package, built as Debian builds its own: with dpkg-buildflags
# (hardening, paths relative to the source) in PKG_BUILD (build-pkg/), and
# dated by the last commit, so that the same commit gives the same bytes.
# MAINTAINER="Name <address>" signs it (default: the project's own).
.PHONY: package release
PKG_BUILD ?= build-pkg
MAINTAINER ?=
package release windows: export SOURCE_DATE_EPOCH := $(or $(SOURCE_DATE_EPOCH),$(shell git log -1 --format=%ct))
package release: export DEB_BUILD_MAINT_OPTIONS = hardening=+all
# dpkg-buildflags maps the source folder's path to "."; the build folder's is
# mapped too, to build-pkg whatever folder it is, and last (the last map that
# matches wins): its path would reach the debug sections, and through them
# the build id that stays in the stripped executable.
PKG_PATH_MAP = -ffile-prefix-map=$(abspath $(PKG_BUILD))=build-pkg
package:
	tools/bootstrap.sh package
	cmake -S . -B $(PKG_BUILD) -DCMAKE_BUILD_TYPE=Release -DDEMO_PACKAGE=ON \
	  -DDEMO_PACKAGE_MAINTAINER="$(MAINTAINER)" \
	  -DCMAKE_C_FLAGS="$$(dpkg-buildflags --get CFLAGS) $$(dpkg-buildflags --get CPPFLAGS) $(PKG_PATH_MAP)" \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS) $(PKG_PATH_MAP)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
	cmake --build $(PKG_BUILD) -j $(JOBS) --target package_files
	cd $(PKG_BUILD) && cpack

# Everything a release hands out, in dist/ (see tools/release/release.sh):
# it runs make package, web, windows and build itself, each whatever the
# others did, and fills dist/ only when nothing is missing. demo.exe is
# linked and the Windows zip packed again, so that they too are dated by the
# last commit (ld stamps the PE header with SOURCE_DATE_EPOCH).
release:
	MAKE="$(MAKE)" tools/release/release.sh dist
