# Front door of the project. `make run` and `make test` are all a newcomer needs.
BUILD   ?= build
JOBS    ?= 2
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: run table test bench plot firmware sim sim-web sim-report sim-bench scenarios debug flash flash-sim windows fuzz docs configure clean

configure:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

# The second tree: host code with AddressSanitizer and UndefinedBehaviorSanitizer
# (clang), the fuzzers, clang-tidy and cppcheck. The first report of a
# sanitizer ends the process with a failure.
SAN_BUILD ?= $(BUILD)-san
SAN_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=ON -DSTATIC_ANALYSIS=ON -DWITH_WINDOWS=OFF
SAN_ENV = ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1 \
          UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
FUZZ_SECONDS ?= 300

run:
	scripts/bootstrap run
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target dactables -j $(JOBS) >/dev/null
	mkdir -p tables
	scripts/run-dactables $(BUILD)/bin/dactables tables

# One table without the menu, into tables/: OPTION=N (1-9), STEP=S for 7 and 8,
# FORMAT=txt|c|bin|hex|mif|coe (converted by romtable export; ORDER=le|be for
# bin, ARRAY=name for c). A table with a GBK name gets an ASCII copy beside it.
table:
	@scripts/make-table --check "$(OPTION)" "$(STEP)" "$(FORMAT)" "$(ORDER)" "$(ARRAY)"
	scripts/bootstrap run
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target dactables $(if $(filter-out txt,$(FORMAT)),romtable) -j $(JOBS) >/dev/null
	@scripts/make-table $(BUILD)/bin/dactables $(BUILD)/bin/romtable tables "$(OPTION)" "$(STEP)" "$(FORMAT)" "$(ORDER)" "$(ARRAY)"

test:
	scripts/bootstrap
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DREQUIRE_ALL_TOOLS=ON
	cmake --build $(BUILD) -j $(JOBS)
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	CC=clang CXX=clang++ cmake -S . -B $(SAN_BUILD) $(SAN_FLAGS) -DREQUIRE_ALL_TOOLS=ON
	cmake --build $(SAN_BUILD) -j $(JOBS)
	$(SAN_ENV) ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target bench_dactables -j $(JOBS) >/dev/null
	$(BUILD)/bin/bench_dactables

# Every table in tables/ checked and drawn by romtable, into tables/plots/.
plot:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target romtable -j $(JOBS) >/dev/null
	scripts/plot-tables $(BUILD)/bin/romtable tables tables/plots

# The ARM objects (main.o, itemactions.o) and the flash image (.elf, .hex, .bin)
# in $(BUILD)/firmware; prints flash and RAM use.
firmware:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target firmware_image -j $(JOBS)

# The flash image and the board simulator. At a terminal: the board live on the
# screen (keys 1-4, q quits). Otherwise: runs the image for three heartbeats, the
# greeting on UART0 and the heartbeat, each line stamped with the instructions
# executed since reset, and the LCD picture in $(BUILD)/lcd.png.
sim:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target firmware_image boardsim -j $(JOBS)
	if [ -t 0 ] && [ -t 1 ]; then \
	  $(BUILD)/bin/boardsim $(BUILD)/firmware/firmware.elf --screen; \
	else \
	  $(BUILD)/bin/boardsim $(BUILD)/firmware/firmware.elf --periods 3 --lcd $(BUILD)/lcd.png; \
	fi

# The board in a browser: open the address it prints (WEB=127.0.0.1:8080 by
# default; WEB=0.0.0.0:8080 serves other machines, with a token). Ctrl-C ends it.
WEB ?= 127.0.0.1:8080
sim-web:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target firmware_image boardsim -j $(JOBS)
	$(BUILD)/bin/boardsim $(BUILD)/firmware/firmware.elf --web $(WEB)

# Instructions from reset to the greeting, per DelayMs unit and per heartbeat;
# flash and RAM use of the image.
sim-report:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target firmware_image boardsim -j $(JOBS)
	$(BUILD)/bin/boardsim $(BUILD)/firmware/firmware.elf --report

# Every scenario in firmware/scenarios on the simulated board, each from
# reset; the results as JUnit XML in $(BUILD)/scenarios/report.xml, with the
# pictures of any LCD mismatch beside it.
scenarios:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target firmware_image boardsim -j $(JOBS)
	mkdir -p $(BUILD)/scenarios
	$(BUILD)/bin/boardsim $(BUILD)/firmware/firmware.elf $(patsubst %,--scenario %,$(sort $(wildcard firmware/scenarios/*.yaml))) \
	  --junit $(BUILD)/scenarios/report.xml

# The program output shown in the manuals (README.md, docs/*.md) written anew
# from this build's programs; a sample whose command fails stops it.
docs:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target dactables romtable firmware_image boardsim -j $(JOBS)
	scripts/make-docs --build $(BUILD)

# Flashes a real board over its serial boot loader: PORT=/dev/ttyUSB0. With
# -control, lpc21isp resets the board through DTR and holds P0.14 low
# through RTS, as the usual ISP adapters wire them.
PORT ?= /dev/ttyUSB0
flash:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target firmware_image -j $(JOBS)
	lpc21isp -control -hex $(BUILD)/firmware/firmware.hex $(PORT) 115200 11059

# The same command against the simulated board, waiting in its boot loader
# on a pseudo-terminal; the board then runs what was flashed for 100 ms.
# lpc21isp starts once boardsim says the boot loader is ready; the board's
# own lines go to $(BUILD)/flash-sim.log and are shown after lpc21isp's.
flash-sim:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target firmware_image boardsim -j $(JOBS)
	@rm -f $(BUILD)/flash-sim.log; \
	$(BUILD)/bin/boardsim --isp $(BUILD)/ttyISP --run 100ms >$(BUILD)/flash-sim.log 2>&1 & sim=$$!; \
	until grep -qs 'waiting for the host' $(BUILD)/flash-sim.log || ! kill -0 $$sim 2>/dev/null; do sleep 0.1; done; \
	lpc21isp -control -hex $(BUILD)/firmware/firmware.hex $(BUILD)/ttyISP 115200 11059; status=$$?; \
	wait $$sim || status=1; \
	echo "--- the board ($(BUILD)/flash-sim.log):"; cat $(BUILD)/flash-sim.log; exit $$status

# Simulated instructions and simulated seconds per wall-clock second (best of
# 3 runs of 1 s simulated): the real image, and workloads that are not
# countdown loops (a 1 kHz tick with a polling idle loop, a CRC-32 over
# flash, a memory copy in RAM, two tasks switching on a tick and a queue,
# code polling the UART, a timer and a pin; ARM and Thumb), each as boardsim runs it,
# with every instruction run, and without the cycle model.
KIT = $(BUILD)/firmware/sim/tests
sim-bench:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target firmware_image boardsim_bench boardsim_probe_images -j $(JOBS)
	$(BUILD)/bin/boardsim_bench $(BUILD)/firmware/firmware.elf \
	  $(KIT)/kit_tick_poll_arm.elf $(KIT)/kit_tick_poll_thumb.elf $(KIT)/kit_crc32_arm.elf \
	  $(KIT)/kit_crc32_thumb.elf $(KIT)/kit_memcpy_arm.elf $(KIT)/kit_memcpy_thumb.elf \
	  $(KIT)/kit_rtos_arm.elf $(KIT)/kit_rtos_thumb.elf $(KIT)/kit_poll_arm.elf $(KIT)/kit_poll_thumb.elf

# The image under gdb: boardsim waits on 127.0.0.1:$(GDB_PORT) before the
# first instruction (its own lines go to $(BUILD)/boardsim-debug.log), and
# gdb-multiarch attaches with the image's symbols. boardsim runs in a session
# of its own, so that gdb's Ctrl-C interrupts the board rather than killing
# it; it ends with gdb.
GDB_PORT ?= 3333
debug:
	@command -v gdb-multiarch >/dev/null || { echo "make debug: gdb-multiarch is missing (scripts/bootstrap installs it)"; exit 1; }
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target firmware_image boardsim -j $(JOBS)
	@log=$(BUILD)/boardsim-debug.log; \
	setsid $(BUILD)/bin/boardsim $(BUILD)/firmware/firmware.elf --gdb $(GDB_PORT) >$$log 2>&1 & sim=$$!; \
	trap 'kill $$sim 2>/dev/null' EXIT INT TERM; \
	for i in $$(seq 100); do grep -q 'waiting for gdb' $$log && break; kill -0 $$sim 2>/dev/null || break; sleep 0.1; done; \
	grep -q 'waiting for gdb' $$log || { cat $$log; exit 1; }; \
	gdb-multiarch -q -nx -ex 'set architecture arm' -ex 'target remote 127.0.0.1:$(GDB_PORT)' \
	  $(BUILD)/firmware/firmware.elf

# dactables.exe for 64-bit Windows (MinGW-w64, runtime linked in): $(BUILD)/windows/dactables.exe.
windows:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) --target dactables_windows -j $(JOBS)

# Each fuzzer for FUZZ_SECONDS (default 300) on one core; findings land in
# $(SAN_BUILD)/fuzz-findings, the corpus grows in the build tree.
fuzz:
	CC=clang CXX=clang++ cmake -S . -B $(SAN_BUILD) $(SAN_FLAGS) >/dev/null
	cmake --build $(SAN_BUILD) --target console_fuzzer elf_loader_fuzzer elf_loader_fuzz_seeds isp_fuzzer \
	  table_reader_fuzzer table_reader_fuzz_seeds gdb_packet_fuzzer scenario_reader_fuzzer serial_match_fuzzer -j $(JOBS)
	mkdir -p $(SAN_BUILD)/fuzz-findings
	$(SAN_ENV) $(SAN_BUILD)/bin/console_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -print_final_stats=1 -artifact_prefix=$(SAN_BUILD)/fuzz-findings/ \
	  $(SAN_BUILD)/dactables/fuzz/corpus dactables/fuzz/corpus
	$(SAN_ENV) $(SAN_BUILD)/bin/elf_loader_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -print_final_stats=1 -artifact_prefix=$(SAN_BUILD)/fuzz-findings/ \
	  $(SAN_BUILD)/firmware/sim/fuzz/corpus $(SAN_BUILD)/firmware/sim/fuzz/seeds
	$(SAN_ENV) $(SAN_BUILD)/bin/isp_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -print_final_stats=1 -artifact_prefix=$(SAN_BUILD)/fuzz-findings/ \
	  $(SAN_BUILD)/firmware/sim/fuzz/isp_corpus firmware/sim/fuzz/isp_seeds
	$(SAN_ENV) $(SAN_BUILD)/bin/table_reader_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -max_len=80000 -print_final_stats=1 -artifact_prefix=$(SAN_BUILD)/fuzz-findings/ \
	  $(SAN_BUILD)/tools/romtable/fuzz/corpus $(SAN_BUILD)/tools/romtable/fuzz/seeds
	$(SAN_ENV) $(SAN_BUILD)/bin/gdb_packet_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -print_final_stats=1 -artifact_prefix=$(SAN_BUILD)/fuzz-findings/ \
	  $(SAN_BUILD)/firmware/sim/fuzz/gdb-corpus firmware/sim/fuzz/gdb-seeds
	$(SAN_ENV) $(SAN_BUILD)/bin/scenario_reader_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -max_len=4096 -print_final_stats=1 -artifact_prefix=$(SAN_BUILD)/fuzz-findings/ \
	  $(SAN_BUILD)/firmware/sim/fuzz/scenario-corpus firmware/sim/fuzz/scenario_seeds
	$(SAN_ENV) $(SAN_BUILD)/bin/serial_match_fuzzer -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 \
	  -print_final_stats=1 -artifact_prefix=$(SAN_BUILD)/fuzz-findings/ \
	  $(SAN_BUILD)/firmware/sim/fuzz/serial-match-corpus firmware/sim/fuzz/serial_match_seeds

clean:
	rm -rf $(BUILD) $(SAN_BUILD)
