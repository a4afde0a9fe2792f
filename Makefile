# make run   builds the monitor and starts it in the current directory.
# make test  builds and runs every test, then once more under the sanitizers.
# make package  builds the .deb (vemo_<version>_<arch>.deb in the build folder).
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: deps build run test test-plain test-asan package demo bench format format-check clean

deps:
	@bash scripts/install-deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/bin/vemo

# One after the other, even under make -j: each build already uses every core.
test:
	$(MAKE) test-plain
	$(MAKE) test-asan

test-plain: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVEMO_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

package: build
	cd $(BUILD) && cpack -G DEB

demo: build
	bash scripts/demo.sh $(BUILD)

bench: build
	bash bench/run.sh $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

format-check:
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
