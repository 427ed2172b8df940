# Developer commands. Each installs what it needs on a fresh Debian 12 machine first.
.PHONY: test run bench build clean

test:
	@bash scripts/test.sh

run:
	@bash scripts/run.sh

bench:
	@bash scripts/bench.sh

build:
	@bash scripts/setup.sh
	@for p in win32 win64 native; do \
	  cmake --preset $$p >/dev/null || exit 1; \
	  cmake --build --preset $$p -j$$(nproc) || exit 1; \
	done

clean:
	@for p in win32 win64; do [ -d build/wine/$$p ] && bash scripts/wine-prefix.sh $$p stop; done; true
	rm -rf build
