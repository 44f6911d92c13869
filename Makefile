# Thin wrapper over CMake so a newcomer types one word.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
# Paths inside the checkout hash as relative ones, so every clone shares the cache.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: all build test demo bench fuzz sanitize deps clean

all: build

deps:
	bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

# Flags given on an existing build folder configure it again, so they are
# never dropped silently.
build: $(BUILD)/CMakeCache.txt
	$(if $(strip $(CMAKE_FLAGS)),cmake -S . -B $(BUILD) $(CMAKE_FLAGS))
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS)

demo: build
	bash scripts/demo.sh $(BUILD)

bench: build
	bash bench/run.sh $(BUILD)
	bash bench/parallel.sh $(BUILD)
	bash bench/shard.sh $(BUILD)
	bash bench/thumbnail.sh $(BUILD)
	bash bench/resume.sh $(BUILD)

FUZZ_SECONDS ?= 60
fuzz:
	bash scripts/fuzz.sh $(FUZZ_SECONDS)

sanitize:
	bash scripts/sanitize.sh

clean:
	rm -rf $(BUILD)
