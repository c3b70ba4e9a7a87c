# The two commands a user needs:
#   make run    install what is missing, build, and open Corvel
#   make test   install what is missing, build (plain and sanitized), run every test
#               and each fuzz harness for 20 seconds
#   make fuzz   each fuzz harness for 5 minutes
#   make soak   nine consoles for an hour of emulated time each (not part of make test)
JOBS ?= $(shell nproc)
BUILD := build/release
ASAN := build/asan
FUZZ := build/fuzz
FUZZERS := image state

.PHONY: run test deps build build-asan build-fuzz fuzz soak format clean

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

$(ASAN)/build.ninja:
	cmake -S . -B $(ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVEL_SANITIZE=ON -DCORVEL_DESKTOP=OFF

# The harnesses need clang and libFuzzer; only they and the library are built.
$(FUZZ)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCORVEL_FUZZ=ON -DCORVEL_DESKTOP=OFF -DCORVEL_TESTS=OFF

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN)/build.ninja
	cmake --build $(ASAN) -j $(JOBS)

build-fuzz: deps $(FUZZ)/build.ninja
	cmake --build $(FUZZ) -j $(JOBS) --target fuzzers

# Runs every harness for $(1) seconds from the checked-in seeds and earlier
# findings; new inputs go to $(FUZZ)/work, crashing ones to $(FUZZ)/artifacts.
define run-fuzzers
	@for h in $(FUZZERS); do \
	  mkdir -p $(FUZZ)/work/$$h $(FUZZ)/artifacts/$$h && \
	  echo "fuzzing $$h for $(1) s" && \
	  $(FUZZ)/fuzz_$$h -max_total_time=$(1) -max_len=4096 -timeout=60 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZ)/artifacts/$$h/ $(FUZZ)/work/$$h tests/fuzz/corpus/$$h \
	    $$(ls -d tests/fuzz/regressions/$$h 2>/dev/null) > $(FUZZ)/$$h.log 2>&1 || \
	    { tail -n 60 $(FUZZ)/$$h.log; echo "fuzz_$$h failed: see $(FUZZ)/$$h.log"; exit 1; }; \
	  grep -E "^(Done|stat::number_of_executed_units)" $(FUZZ)/$$h.log; \
	done
endef

fuzz: build-fuzz
	$(call run-fuzzers,300)

soak: build
	$(BUILD)/corvel-soak $(BUILD)/cartridges/lifecycle_motion.nes

# With no ROM given, Corvel opens our own demo cartridge.
ROM ?= $(BUILD)/cartridges/demo.nes

run: build
	$(BUILD)/corvel $(ROM)

test: build build-asan build-fuzz
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS) -LE desktop
	$(call run-fuzzers,20)

format:
	clang-format -i $$(git ls-files 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h')

clean:
	rm -rf build
