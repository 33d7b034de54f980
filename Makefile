# Front door of the project. `make run` and `make test` are all a newcomer needs.
BUILD   ?= build
JOBS    ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: run test bench firmware sim sim-report windows fuzz configure clean

configure:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

run:
	scripts/bootstrap run
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target dactables -j $(JOBS) >/dev/null
	mkdir -p tables
	cd tables && ../scripts/run-dactables ../$(BUILD)/bin/dactables

test:
	scripts/bootstrap
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DREQUIRE_ALL_TOOLS=ON
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target bench_dactables -j $(JOBS) >/dev/null
	$(BUILD)/bin/bench_dactables

# The ARM objects (main.o, itemactions.o) and the flash image (.elf, .hex, .bin)
# in $(BUILD)/firmware; prints flash and RAM use.
firmware:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target firmware_image -j $(JOBS)

# dactables.exe for 64-bit Windows (MinGW-w64, runtime linked in): $(BUILD)/windows/dactables.exe.
windows:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target dactables_windows -j $(JOBS)

clean:
	rm -rf $(BUILD)
