# Developer commands. Each installs what it needs on a fresh Debian 12 machine first.
.PHONY: test run bench build clean dist

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

# One release archive per architecture in build/dist.
dist:
	@bash scripts/setup.sh
	@mkdir -p build/dist
	@for p in win32 win64; do \
	  cmake --preset $$p >/dev/null || exit 1; \
	  cmake --build --preset $$p -j$$(nproc) --target zumbrel_dist >/dev/null || exit 1; \
	  cp build/$$p/dist/zumbrel-*-$$p.zip build/dist/ || exit 1; \
	done
	@ls -1 build/dist/*.zip
