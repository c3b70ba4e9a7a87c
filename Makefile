# The two commands a user needs:
#   make run    install what is missing, build, and open Corvel
#   make test   install what is missing, build (plain and sanitized), run every test
JOBS ?= $(shell nproc)
BUILD := build/release
ASAN := build/asan

.PHONY: run test deps build build-asan format clean

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

$(ASAN)/build.ninja:
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVEL_SANITIZE=ON -DCORVEL_DESKTOP=OFF

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN)/build.ninja
	cmake --build $(ASAN) -j $(JOBS)

# With no ROM given, Corvel opens our own demo cartridge.
ROM ?= $(BUILD)/cartridges/demo.nes

run: build
	$(BUILD)/corvel $(ROM)

test: build build-asan
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS) -LE desktop

format:
	clang-format -i $$(git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h')

clean:
	rm -rf build
