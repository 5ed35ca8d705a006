# Thin wrapper over CMake: `make run` and `make test` are all a new checkout
# needs. Each kind of build has a folder of its own under build/.
JOBS         ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE        ?= cmake
CTEST        ?= ctest
EXAMPLE      ?= examples/initiator.conf
FUZZ_SECONDS ?= 60
BENCH_MB     ?= 100
RELEASE       = build/release
DEB_DIR       = build/deb
RPM_DIR       = build/rpm
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null)

.PHONY: all build run test asan scalar fuzz coverage lint bench deb package-check dist rpm rpm-check clean

all: build

$(RELEASE)/CMakeCache.txt:
	$(CMAKE) -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DICC_WERROR=ON \
	    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON

build: $(RELEASE)/CMakeCache.txt
	$(CMAKE) --build $(RELEASE) -j $(JOBS)

# Builds the checker and runs it on the shipped example configuration.
run: build
	$(RELEASE)/iscsi-config-check $(EXAMPLE)

# Installs the release build under PREFIX, staged under DESTDIR when that is
# set (cmake --install reads DESTDIR from the environment).
PREFIX ?= /usr/local
.PHONY: install
install: build
	DESTDIR="$(DESTDIR)" $(CMAKE) --install $(RELEASE) --prefix "$(PREFIX)"

# Builds the checker and its tests and runs every test.
test: build
	$(CTEST) --test-dir $(RELEASE) --output-on-failure --timeout 300 -j $(JOBS)

# The whole suite on a clang build with AddressSanitizer and UBSan.
asan:
	CC=clang CXX=clang++ $(CMAKE) -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug \
	    -DICC_SANITIZE=ON -DICC_WERROR=ON
	$(CMAKE) --build build/asan -j $(JOBS)
	$(CTEST) --test-dir build/asan --output-on-failure --timeout 300 -j $(JOBS)

# The unit tests on a build that scans login fields a byte at a time, the
# path of machines without SSE2.
scalar:
	$(CMAKE) -S . -B build/scalar -DCMAKE_BUILD_TYPE=Release -DICC_WERROR=ON \
	    -DICC_SCALAR_SCAN=ON
	$(CMAKE) --build build/scalar -j $(JOBS) --target unit_tests
	build/scalar/tests/unit_tests --gtest_brief=1

# Each libFuzzer target for FUZZ_SECONDS, seeded from the golden cases.
fuzz:
	CC=clang CXX=clang++ $(CMAKE) -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DICC_FUZZ=ON -DBUILD_TESTING=OFF -DICC_WERROR=ON
	$(CMAKE) --build build/fuzz -j $(JOBS) --target $(notdir $(basename $(wildcard fuzz/fuzz_*.cpp)))
	fuzz/run.sh build/fuzz/fuzz $(FUZZ_SECONDS)

# Line and branch coverage of src/ and its sub-folders from the whole suite
# (gcc, gcovr); under 95% of the lines fails.
coverage:
	$(CMAKE) -S . -B build/coverage -DCMAKE_BUILD_TYPE=Debug -DICC_COVERAGE=ON
	$(CMAKE) --build build/coverage -j $(JOBS)
	find build/coverage -name '*.gcda' -delete
	$(CTEST) --test-dir build/coverage --output-on-failure --timeout 300 -j $(JOBS)
	gcovr -r . --filter 'src/' --exclude-unreachable-branches build/coverage
	gcovr -r . --filter 'src/' --branches --exclude-unreachable-branches \
	    --fail-under-line 95 build/coverage

# clang-tidy and cppcheck over src/ and its sub-folders, clang-format over
# every C++ file of the tree, and shellcheck over every shell script (a *.sh
# file, or one whose first line runs a shell): first what is a warning or
# worse, then every note that is not turned off on its line. Any finding fails.
CXX_FILES     = $(shell find src tests fuzz bench doc completions -name '*.cpp' -o -name '*.h' | LC_ALL=C sort)
SHELL_SCRIPTS = $(shell find . \( -path ./build -o -path ./.git \) -prune -o -type f -print | \
    xargs awk 'FNR == 1 { if (FILENAME ~ /\.sh$$/ || /^\#!.*[/ ](ba|da|k)?sh( |$$)/) print FILENAME; nextfile }' | \
    LC_ALL=C sort)
lint: $(RELEASE)/CMakeCache.txt
	clang-tidy --quiet -p $(RELEASE) $$(find src doc completions -name '*.cpp' | LC_ALL=C sort)
	cppcheck --enable=warning,style,performance,portability --inline-suppr \
	    --error-exitcode=1 --std=c++17 --quiet -I src src/
	clang-format --dry-run --Werror $(CXX_FILES)
	shellcheck -S warning $(SHELL_SCRIPTS)
	shellcheck $(SHELL_SCRIPTS)

# Throughput against grep on a generated BENCH_MB-megabyte configuration.
bench:
	bench/run.sh $(BENCH_MB)

# The Debian package, built by Debian's own tools from a copy of the tree in
# build/deb/src; the .deb lands in build/deb/. The last commit's time stamps
# the copy and the package, so that two builds of one commit give the same
# bytes wherever they run (outside a git checkout, dpkg takes the date of
# debian/changelog).
deb:
	rm -rf $(DEB_DIR)
	mkdir -p $(DEB_DIR)/src
	tar -c --exclude=./build --exclude=./.git --exclude='./iscsi-config-check-*.tar.gz' $(if $(SOURCE_DATE_EPOCH),--mtime=@$(SOURCE_DATE_EPOCH)) . | \
	    tar -x -C $(DEB_DIR)/src
	cd $(DEB_DIR)/src && $(if $(SOURCE_DATE_EPOCH),SOURCE_DATE_EPOCH=$(SOURCE_DATE_EPOCH)) \
	    dpkg-buildpackage -b --no-sign

# Builds the package twice and compares, runs lintian, then installs, runs
# and removes it (needs root).
package-check:
	tests/package_check.sh

# The release tarball iscsi-config-check-VERSION.tar.gz, here, from the last
# commit (VERSION is CMakeLists.txt's): its files, and the RPM build recipe at
# the top, where rpmbuild -ta and packagers look for it.
dist:
	packaging/dist.sh .

# The source and binary RPMs, built by rpmbuild -ba from the release tarball
# (which make dist writes into build/rpm/SOURCES/) as a packager builds them,
# in build/rpm/SRPMS/ and build/rpm/RPMS/. The time stamps the package, its
# files and its build time, and no build host is recorded, so that two builds
# give the same bytes; the documents and the licence go in folders named
# after the package alone, as in the RPM family. RPMFLAGS adds options:
# --without check builds and runs no test; --nodeps on a machine whose rpm
# database does not list the build's requirements.
RPMFLAGS ?=
rpm:
	rm -rf $(RPM_DIR)
	mkdir -p $(RPM_DIR)/SOURCES $(RPM_DIR)/SPECS
	tarball=$$(packaging/dist.sh $(RPM_DIR)/SOURCES) && \
	    tar -xzOf $$tarball --wildcards '*/iscsi-config-check.spec' >$(RPM_DIR)/SPECS/iscsi-config-check.spec
	$(if $(SOURCE_DATE_EPOCH),SOURCE_DATE_EPOCH=$(SOURCE_DATE_EPOCH)) rpmbuild -ba $(RPMFLAGS) \
	    --define '_topdir $(abspath $(RPM_DIR))' --define 'use_source_date_epoch_as_buildtime 1' \
	    --define 'clamp_mtime_to_source_date_epoch 1' --define '_buildhost reproducible' \
	    --define '_docdir_fmt %%{NAME}' \
	    $(RPM_DIR)/SPECS/iscsi-config-check.spec

# Checks the tarball and the RPMs: the tarball is the same from one commit;
# the RPMs build from it twice, outside git, to the same bytes, the first
# time with make test as %check; rpmlint finds nothing; and the package
# installs into a scratch root whose program runs on the example.
rpm-check:
	tests/rpm_check.sh

clean:
	rm -rf build

# Writes the manual page's entries of the checks and the README's tables of
# errors, warnings and fixes afresh from the table of checks
# (src/checks/checks.cpp).
.PHONY: docs
docs: $(RELEASE)/CMakeCache.txt
	doc/update_docs.sh $(RELEASE)
