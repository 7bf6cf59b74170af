#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <link.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "media/ffmpeg_loader.h"
#include "media/ffmpeg_logger.h"
#include "media/library_tables.h"
#include "support/media_libraries.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// Tests that load and release libraries change process-wide state (every
// lib:: pointer), so they run in a fresh copy of this program: the parent
// prepares folders, the child (selected by QUVEXA_LOADER_CHILD) does the
// loading. A child test skips when run directly.
constexpr char kChildVariable[] = "QUVEXA_LOADER_CHILD";
constexpr char kFolderVariable[] = "QUVEXA_LOADER_FOLDER";

bool InChild() { return std::getenv(kChildVariable) != nullptr; }
std::string ChildFolder() {
  const char* f = std::getenv(kFolderVariable);
  return f ? f : "";
}

// Runs one test of this program in a new process; returns its exit status
// and its output.
int RunChild(const std::string& test, const std::string& folder, std::string* output) {
  const std::string log = testsupport::TempPath("child-" + test + ".log");
  pid_t pid = fork();
  if (pid == 0) {
    setenv(kChildVariable, "1", 1);
    setenv(kFolderVariable, folder.c_str(), 1);
    // Released libraries leave their internal allocations behind, unmapped.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string options = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0";
    setenv("ASAN_OPTIONS", options.c_str(), 1);
    FILE* out = std::freopen(log.c_str(), "w", stdout);
    if (out) dup2(fileno(stdout), 2);
    const std::string filter = "--gtest_filter=LoaderChild." + test;
    execl("/proc/self/exe", "/proc/self/exe", filter.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  std::ifstream in(log);
  std::stringstream s;
  s << in.rdbuf();
  *output = s.str();
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#define EXPECT_CHILD_PASSES(test, folder)                                       \
  do {                                                                          \
    std::string output;                                                         \
    EXPECT_EQ(RunChild(test, folder, &output), 0) << output;                    \
    EXPECT_NE(output.find("[  PASSED  ] 1 test"), std::string::npos) << output; \
  } while (0)

// The file the system loaded a library from.
std::string SystemFileOf(const std::string& name) {
  void* h = dlopen(name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  if (!h) h = dlopen(name.c_str(), RTLD_LAZY);
  if (!h) return "";
  link_map* map = nullptr;
  std::string path;
  if (dlinfo(h, RTLD_DI_LINKMAP, &map) == 0 && map) path = map->l_name;
  dlclose(h);
  return path;
}

const TLibraryKind kConverterKinds[] = {lkAVCodec, lkAVFilter, lkAVFormat, lkAVUtil, lkSwScale, lkSwResample};

// A private library folder made of copies of the system's converter libraries.
std::string MakeLibraryFolder(const std::string& prefix) {
  testsupport::LoadConverterLibraries();
  const std::string dir = testsupport::MakeTempSubdir(prefix);
  for (TLibraryKind k : kConverterKinds) {
    const std::string name = TFFmpegLoader::LibraryFileName(k);
    const std::string from = SystemFileOf(name);
    EXPECT_FALSE(from.empty()) << name;
    fs::copy_file(fs::canonical(from), dir + "/" + name);
  }
  return dir;
}

// The files this process maps that are named like the library.
std::vector<std::string> MappedFiles(const std::string& fileName) {
  std::ifstream maps("/proc/self/maps");
  std::vector<std::string> files;
  std::string line;
  while (std::getline(maps, line)) {
    size_t slash = line.find('/');
    if (slash == std::string::npos) continue;
    std::string path = line.substr(slash);
    if (path.find("/" + fileName) == std::string::npos) continue;
    if (std::find(files.begin(), files.end(), path) == files.end()) files.push_back(path);
  }
  return files;
}

bool MappedOnlyFrom(const std::string& fileName, const std::string& folder) {
  std::vector<std::string> files = MappedFiles(fileName);
  if (files.empty()) return false;
  for (const std::string& f : files)
    if (f.rfind(folder + "/", 0) != 0) return false;
  return true;
}

}  // namespace

TEST(Loader, FileNamesCarryTheHeaderMajors) {
  EXPECT_EQ(TFFmpegLoader::LibraryFileName(lkAVCodec),
            "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR));
  EXPECT_EQ(TFFmpegLoader::LibraryFileName(lkSwResample),
            "libswresample.so." + std::to_string(LIBSWRESAMPLE_VERSION_MAJOR));
  EXPECT_EQ(TFFmpegLoader::LibraryFileName(lkCRT), "libc.so.6");
  EXPECT_EQ(TFFmpegLoader::LibraryFileName(lkSDL), "libSDL2-2.0.so.0");
}

TEST(Loader, PlayerSetLoadsFromTheSystemAndBindsEveryEntry) {
  testsupport::LoadPlayerLibraries();
  EXPECT_TRUE(FFLoader().LibrariesLoaded(kConverterLibraries));
  EXPECT_FALSE(FFLoader().LibraryLoaded(lkAVDevice));
  EXPECT_NE(lib::avcodec_open2, nullptr);
  EXPECT_NE(lib::SDL_Init, nullptr);
  EXPECT_NE(lib::vsnprintf, nullptr);
  EXPECT_EQ(AV_VERSION_MAJOR(lib::avformat_version()), LIBAVFORMAT_VERSION_MAJOR);
}

TEST(Loader, PrivateFolderWithOrWithoutTrailingSlash) {
  const std::string dir = MakeLibraryFolder("libav");
  EXPECT_CHILD_PASSES("FromFolder", dir);
  EXPECT_CHILD_PASSES("FromFolder", dir + "/");
}

TEST(LoaderChild, FromFolder) {
  if (!InChild()) GTEST_SKIP() << "runs in a child process";
  std::string dir = ChildFolder();
  ASSERT_EQ(CurrentLogger(), nullptr);
  FFLoader().SetLibraryPath(dir);
  ASSERT_TRUE(FFLoader().LoadLibraries(kConverterLibraries)) << FFLoader().LastError();
  if (dir.back() == '/') dir.pop_back();
  for (TLibraryKind k : kConverterKinds) {
    const std::string name = TFFmpegLoader::LibraryFileName(k);
    EXPECT_TRUE(MappedOnlyFrom(name, dir)) << name << " also mapped from elsewhere";
  }
  EXPECT_NE(CurrentLogger(), nullptr);  // loading the utility library made one
  EXPECT_FALSE(FFLoader().LibraryLoaded(lkAVDevice));
}

TEST(Loader, SecondSetLoadsOnlyWhatIsMissing) {
  const std::string dir = MakeLibraryFolder("second");
  EXPECT_CHILD_PASSES("SecondSet", dir);
}

TEST(LoaderChild, SecondSet) {
  if (!InChild()) GTEST_SKIP() << "runs in a child process";
  const std::string dir = ChildFolder();
  FFLoader().SetLibraryPath(dir);
  ASSERT_TRUE(FFLoader().LoadLibraries(kConverterLibraries)) << FFLoader().LastError();
  // With the copies gone, loading them again would take the system's files.
  for (TLibraryKind k : kConverterKinds) fs::remove(dir + "/" + TFFmpegLoader::LibraryFileName(k));
  ASSERT_TRUE(FFLoader().LoadLibraries(kPlayerLibraries)) << FFLoader().LastError();
  for (TLibraryKind k : kConverterKinds) {
    const std::string name = TFFmpegLoader::LibraryFileName(k);
    EXPECT_TRUE(MappedOnlyFrom(name, dir)) << name << " was loaded again";
  }
  EXPECT_NE(lib::SDL_Init, nullptr);
}

TEST(Loader, MissingSdlLeavesThePlayerAndConverterSetsUnloaded) {
  const std::string dir = MakeLibraryFolder("nosdl");
  std::ofstream(dir + "/libSDL2-2.0.so.0") << "";  // found in the folder, but no library
  EXPECT_CHILD_PASSES("MissingSdl", dir);
}

TEST(LoaderChild, MissingSdl) {
  if (!InChild()) GTEST_SKIP() << "runs in a child process";
  const std::string dir = ChildFolder();
  FFLoader().SetLibraryPath(dir);
  ASSERT_TRUE(FFLoader().LoadLibraries(kConverterLibraries)) << FFLoader().LastError();
  EXPECT_FALSE(FFLoader().LoadLibraries(kPlayerLibraries));
  const std::string error = FFLoader().LastError();
  EXPECT_EQ(error.rfind("Load library " + dir + "/libSDL2-2.0.so.0 error: ", 0), 0u) << error;
  EXPECT_FALSE(FFLoader().LibrariesLoaded(kConverterLibraries));
  EXPECT_EQ(lib::avcodec_open2, nullptr);
  EXPECT_EQ(lib::SDL_Init, nullptr);
  // A later success from the system keeps the old failure's text.
  FFLoader().SetLibraryPath("");
  ASSERT_TRUE(FFLoader().LoadLibraries(kConverterLibraries));
  EXPECT_EQ(FFLoader().LastError(), error);
}

TEST(Loader, LibraryLackingAnEntryPointIsReleased) {
  const std::string dir = testsupport::MakeTempSubdir("fakesws");
  fs::copy_file(QUVEXA_FAKE_SWSCALE, dir + "/" + TFFmpegLoader::LibraryFileName(lkSwScale));
  EXPECT_CHILD_PASSES("MissingEntryPoint", dir);
}

TEST(LoaderChild, MissingEntryPoint) {
  if (!InChild()) GTEST_SKIP() << "runs in a child process";
  const std::string dir = ChildFolder();
  const std::string file = TFFmpegLoader::LibraryFileName(lkSwScale);
  FFLoader().SetLibraryPath(dir);
  EXPECT_FALSE(FFLoader().LoadLibraries(kConverterLibraries));
  const std::string error = FFLoader().LastError();
  EXPECT_EQ(error.rfind("Load function sws_scale@" + file + " error: ", 0), 0u) << error;
  EXPECT_FALSE(FFLoader().LibraryLoaded(lkSwScale));
  EXPECT_EQ(lib::sws_getContext, nullptr);  // bound before the failure, cleared again
  EXPECT_EQ(lib::avcodec_open2, nullptr);   // the whole set is released
  for (const std::string& mapped : MappedFiles(file)) EXPECT_NE(mapped.rfind(dir, 0), 0u) << mapped;
}
