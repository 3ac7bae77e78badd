// Runs a fuzz target over saved inputs without libFuzzer, so that the checked-in corpora are
// also a regression suite of the normal and sanitizer builds:
//
//   v3d_replay_bmp fuzz/corpus/bmp [more files or directories ...]
//
// Exits non-zero when a path cannot be read or holds no input at all.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  long count = 0;
  for (int i = 1; i < argc; ++i) {
    const fs::path p(argv[i]);
    std::error_code ec;
    if (fs::is_directory(p, ec)) {
      for (const auto& e : fs::recursive_directory_iterator(p, ec))
        if (e.is_regular_file()) {
          if (!replay(e.path())) return 2;
          ++count;
        }
    } else {
      if (!replay(p)) {
        std::fprintf(stderr, "cannot read %s\n", argv[i]);
        return 2;
      }
      ++count;
    }
  }
  std::printf("replayed %ld inputs\n", count);
  return count > 0 ? 0 : 1;
}
