# Kartoplot: one-word entry points. Each target installs what is missing first.
PRESET ?= debug
JOBS ?= $(shell nproc)

.PHONY: screenshots all deps configure build test release bench demo gui clean fuzz

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake --preset $(PRESET)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

test: build
	ctest --preset $(PRESET) -j $(JOBS)

release:
	$(MAKE) build PRESET=release

# Chart run and rendering timings and memory per chart, always on the optimised build.
bench: deps
	cmake --preset release
	cmake --build --preset release -j $(JOBS) --target chart_run_bench render_bench
	build/release/bench/chart_run_bench
	build/release/bench/render_bench

# Every fuzz target of tests/fuzz for a fixed budget on the clang fuzz build; fails on any crash.
fuzz: deps
	JOBS=$(JOBS) bash scripts/fuzz.sh

DEMO_OUT ?= demo

demo: configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target kartoplot
	./build/$(PRESET)/cli/kartoplot demo --out $(DEMO_OUT)

# The desktop window over the bundled sample data.
gui: configure
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
		echo "The desktop window needs a graphical session, and neither DISPLAY nor WAYLAND_DISPLAY is set; to run it on a virtual screen, use: xvfb-run -a make gui"; \
		exit 1; \
	fi
	cmake --build --preset $(PRESET) -j $(JOBS) --target kartoplot-desktop
	./build/$(PRESET)/app/kartoplot-desktop

clean:
	rm -rf build

# Pictures of the desktop window and the dialog for the README, taken under Xvfb.
screenshots: configure
	cmake --build --preset $(PRESET) -j $(JOBS) --target kartoplot-desktop
	PRESET=$(PRESET) bash scripts/screenshots.sh docs
