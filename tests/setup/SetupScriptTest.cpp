// scripts/setup.sh run for real on a machine made of stubs. The script's whole PATH is one bin
// folder: stub apt-get, dpkg, id, sleep and sudo (small shell scripts that log each call to
// <dir>/calls), links to the real text tools, and the installed commands as empty scripts.
// ZUMBREL_SETUP_ROOT stands for /. The stub apt-get fails as the case asks and, when an install
// works, creates the commands and files its packages bring, so the script's own checks see a
// machine like a real one. The script runs from a copy in <dir>/repo/scripts, which keeps its
// build/setup/win32-missing out of the real tree.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// What the script looks for: commands on PATH, files under the root.
const char* const kTools[] = {"i686-w64-mingw32-g++-posix", "x86_64-w64-mingw32-g++-posix",
                              "i686-w64-mingw32-windres", "x86_64-w64-mingw32-windres",
                              "wine", "wineserver", "Xvfb", "cmake", "xwd", "convert",
                              "pulseaudio", "parec", "pactl"};
const char* const kFiles[] = {"usr/lib/wine/wine64", "usr/src/googletest/CMakeLists.txt",
                              "usr/include/benchmark/benchmark.h"};
const char* const kFiles32[] = {"usr/lib/wine/wine", "usr/lib/i386-linux-gnu/wine"};
// The real tools the script and the stubs call.
const char* const kRealTools[] = {"cat", "chmod", "dirname", "grep", "mkdir",
                                  "mktemp", "rm", "sed", "seq", "tail"};

const char kMirrorSync[] =
    "Failed to fetch http://deb.debian.org/debian/dists/bookworm/main/binary-amd64/Packages.xz"
    "  File has unexpected size (8786356 != 8786008). Mirror sync in progress?"
    " [IP: 151.101.2.132 80]";
const char kUnmet[] =
    "wine32:i386 : Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed";

// update fails UPDATE_FAILURES times; the first WINE32_FAILURES installs of wine32:i386 fail
// on an unmet dependency; MISSING_PACKAGE is unknown to apt.
const char kAptGet[] = R"sh(#!/bin/sh
log=$STUB_DIR/calls
echo "apt-get $*" >>"$log"
if [ "$1" = update ]; then
  [ "$(grep -c '^apt-get update' "$log")" -gt "$UPDATE_FAILURES" ] && exit 0
  echo "E: $UPDATE_ERROR"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100
fi
for p in "$@"; do
  [ "$p" = "$MISSING_PACKAGE" ] && { echo "E: Unable to locate package $p"; exit 100; }
done
case " $* " in *" -s "*) exit 0 ;; esac
provides=$STUB_DIR/provides64
case " $* " in *" wine32:i386 "*)
  if [ "$(grep -c ' wine32:i386' "$log")" -le "$WINE32_FAILURES" ]; then
    printf 'The following packages have unmet dependencies:\n %s\n' "$WINE32_ERROR"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100
  fi
  provides=$STUB_DIR/provides32 ;;
esac
while read -r f; do
  mkdir -p "$(dirname "$f")" && printf '#!/bin/sh\n' >"$f" && chmod +x "$f"
done <"$provides"
)sh";

const std::pair<const char*, const char*> kStubs[] = {
    {"apt-get", kAptGet},
    {"dpkg", "#!/bin/sh\necho \"dpkg $*\" >>\"$STUB_DIR/calls\"\n"},
    {"id", "#!/bin/sh\necho 0\n"},
    {"sleep", "#!/bin/sh\n"},
    {"sudo", "#!/bin/sh\nexec \"$@\"\n"},
};

std::string FindOnPath(const std::string& name)
{
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (end > start && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

std::vector<std::string> ReadLines(const fs::path& file)
{
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void WriteFile(const fs::path& file, const std::string& text, bool executable = false)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
    if (executable)
        fs::permissions(file, fs::perms::owner_all, fs::perm_options::add);
}

size_t CountContaining(const std::vector<std::string>& lines, const std::string& text)
{
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

// Index of the first line holding `text` and not `unless`, or lines.size().
size_t FirstContaining(const std::vector<std::string>& lines, const std::string& text,
                       const std::string& unless = "\n")
{
    auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.find(text) != std::string::npos && l.find(unless) == std::string::npos;
    });
    return it - lines.begin();
}

struct Outcome {
    int exitCode;
    std::vector<std::string> output;
};

} // namespace

class SetupScript : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = ::testing::TempDir() + "setup_script_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::create_directories(dir_ / "repo/scripts");
        fs::create_directories(dir_ / "tmp");
        fs::create_directories(Root());
        fs::create_directories(Bin());
        fs::copy_file(ZUMBREL_SETUP_SCRIPT, dir_ / "repo/scripts/setup.sh");
        bash_ = FindOnPath("bash");
        ASSERT_FALSE(bash_.empty()) << "bash not found on PATH";
        for (const char* tool : kRealTools) {
            const std::string real = FindOnPath(tool);
            ASSERT_FALSE(real.empty()) << tool << " not found on PATH";
            fs::create_symlink(real, Bin() / tool);
        }
        for (const auto& [name, text] : kStubs)
            WriteFile(Bin() / name, text, true);
        std::string provides64, provides32;
        for (const char* tool : kTools)
            provides64 += (Bin() / tool).string() + "\n";
        for (const char* file : kFiles)
            provides64 += (Root() / file).string() + "\n";
        for (const char* file : kFiles32)
            provides32 += (Root() / file).string() + "\n";
        WriteFile(dir_ / "provides64", provides64);
        WriteFile(dir_ / "provides32", provides32);
    }

    void TearDown() override
    {
        if (!dir_.empty())
            fs::remove_all(dir_);
    }

    void InstallEverything()
    {
        for (const char* tool : kTools)
            WriteFile(Bin() / tool, "#!/bin/sh\n", true);
        for (const char* file : kFiles)
            WriteFile(Root() / file, "");
        for (const char* file : kFiles32)
            WriteFile(Root() / file, "");
    }

    Outcome RunSetup(int updateFailures, int wine32Failures, const std::string& missingPackage)
    {
        std::vector<std::string> env = {
            "PATH=" + Bin().string(),
            "ZUMBREL_SETUP_ROOT=" + Root().string(),
            "TMPDIR=" + (dir_ / "tmp").string(),
            "STUB_DIR=" + dir_.string(),
            "UPDATE_FAILURES=" + std::to_string(updateFailures),
            std::string("UPDATE_ERROR=") + kMirrorSync,
            "WINE32_FAILURES=" + std::to_string(wine32Failures),
            std::string("WINE32_ERROR=") + kUnmet,
            "MISSING_PACKAGE=" + missingPackage,
        };
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string script = (dir_ / "repo/scripts/setup.sh").string();
        const std::string output = (dir_ / "output").string();
        char* argv[] = {bash_.data(), script.data(), nullptr};

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, bash_.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0);
        int status = 0;
        if (spawned == 0)
            waitpid(pid, &status, 0);
        Outcome run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadLines(output)};
        // Temporary files the script made are gone, whichever way it ended.
        EXPECT_TRUE(fs::is_empty(dir_ / "tmp"));
        return run;
    }

    std::vector<std::string> Calls() const { return ReadLines(dir_ / "calls"); }
    fs::path Win32Note() const { return dir_ / "repo/build/setup/win32-missing"; }
    fs::path Bin() const { return dir_ / "bin"; }
    fs::path Root() const { return dir_ / "root"; }

    fs::path dir_;
    std::string bash_;
};

struct Case {
    const char* name;
    bool installed;             // the machine has everything before the run
    int updateFailures;         // apt-get update fails this often, then works
    int wine32Failures;         // installs of wine32:i386 that fail before one works
    const char* missingPackage; // a package apt cannot find, or ""
    int exitCode;
    int updateCalls;
    int wine32Installs;
    bool win32Missing;          // build/setup/win32-missing written
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"EverythingPresent", true, 0, 0, "", 0, 0, 0, false},
    {"UpdateWorksOnThirdTry", false, 2, 0, "", 0, 3, 1, false},
    {"MirrorMidSync", false, 99, 0, "", 0, 3, 1, false},
    {"Wine32Unmet", false, 0, 99, "", 0, 1, 1, true},
    {"Wine32UnmetAlsoPinned", false, 99, 99, "", 0, 3, 2, true},
    {"Wine32FromPinnedRetry", false, 99, 1, "", 0, 3, 2, false},
    {"RequiredPackageMissing", false, 0, 0, "cmake", 1, 1, 0, false},
};

class SetupScriptCase : public SetupScript, public ::testing::WithParamInterface<Case> {};

TEST_P(SetupScriptCase, Runs)
{
    const Case& c = GetParam();
    if (c.installed)
        InstallEverything();
    const Outcome run = RunSetup(c.updateFailures, c.wine32Failures, c.missingPackage);
    const std::vector<std::string> calls = Calls();
    std::string shown;
    for (const std::string& line : run.output)
        shown += line + "\n";
    SCOPED_TRACE("output:\n" + shown);

    EXPECT_EQ(run.exitCode, c.exitCode);
    if (c.installed) {
        EXPECT_EQ(CountContaining(calls, "apt-get"), 0u);
    }
    EXPECT_EQ(CountContaining(calls, "apt-get update"), size_t(c.updateCalls));

    const bool listsFailed = c.updateFailures >= c.updateCalls && c.updateCalls > 0;
    EXPECT_EQ(CountContaining(run.output, "did not load"), listsFailed ? 1u : 0u);
    if (listsFailed) {
        EXPECT_EQ(CountContaining(run.output, kMirrorSync), 1u);
    }

    std::vector<std::string> installs32;
    for (const std::string& call : calls) {
        if (call.find("wine32:i386") != std::string::npos)
            installs32.push_back(call);
    }
    ASSERT_EQ(installs32.size(), size_t(c.wine32Installs));
    if (c.wine32Installs == 2) {
        EXPECT_NE(installs32[1].find("Dir::Etc::PreferencesParts="), std::string::npos);
    }
    if (c.wine32Installs > 0) {
        EXPECT_LT(FirstContaining(calls, "apt-get install -y", "wine32:i386"),
                  FirstContaining(calls, "wine32:i386"));
    }

    EXPECT_EQ(fs::exists(Win32Note()), c.win32Missing);
    EXPECT_EQ(CountContaining(run.output, "32-bit Wine"), c.win32Missing ? 1u : 0u);
    if (c.win32Missing) {
        EXPECT_EQ(CountContaining(run.output, kUnmet), 1u);
        const std::vector<std::string> note = ReadLines(Win32Note());
        ASSERT_EQ(note.size(), 1u);
        EXPECT_NE(note[0].find(kUnmet), std::string::npos);
    }

    if (*c.missingPackage) {
        ASSERT_FALSE(run.output.empty());
        EXPECT_EQ(run.output.back(), std::string("setup: failed: cannot install ") +
                                         c.missingPackage + ": Unable to locate package " +
                                         c.missingPackage);
    }
}

INSTANTIATE_TEST_SUITE_P(Machines, SetupScriptCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SetupScript, ALaterRunThatInstalls32BitWineRemovesTheNote)
{
    ASSERT_EQ(RunSetup(0, 1, "").exitCode, 0);
    ASSERT_TRUE(fs::exists(Win32Note()));
    EXPECT_EQ(RunSetup(0, 1, "").exitCode, 0);
    EXPECT_FALSE(fs::exists(Win32Note()));
}
