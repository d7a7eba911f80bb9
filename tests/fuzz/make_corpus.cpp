// Writes the fuzzers' seed corpus: for the container target, containers
// made by the real encryption job under each password, several sizes and
// name extensions, each also cut short and grown; for the name target, the
// names of the naming rules' tables.
//
//   fuzz_make_corpus FOLDER   (writes FOLDER/container and FOLDER/names)

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "jobs/run_job.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Encrypts `plain`, named `name`, with the real job.
std::string Encrypt(const fs::path& work, const std::string& name,
                    const std::string& plain, const std::string& password) {
  Write(work / name, plain);
  fuzz::FileJob job((work / name).string(), (work / "c").string(), password);
  const jobs::JobResult result = job.Run();
  if (result.message != jobs::JobMessage::MSG_DONE) {
    std::fprintf(stderr, "cannot encrypt %s\n", name.c_str());
    std::exit(1);
  }
  std::string container = Read(result.outputPath);
  fs::remove(result.outputPath);
  fs::remove(work / name);
  return container;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
    return 2;
  }
  const fs::path folder(argv[1]);
  fs::create_directories(folder / "container");
  fs::create_directories(folder / "names");
  std::string workName = (fs::temp_directory_path() / "corpus-XXXXXX").string();
  if (mkdtemp(workName.data()) == nullptr) {
    return 1;
  }
  const fs::path work(workName);

  const struct {
    const char* name;
    std::size_t size;
  } plains[] = {{"empty.txt", 0}, {"noextension", 1}, {"a.TXT", 7},
                {"b.tar.gz", 64}, {"отчет.тхт", 300}, {"c.crypt.bak", 1000}};
  std::mt19937 generator(2024);
  int count = 0;
  for (std::size_t p = 0; p < fuzz::kPasswords.size(); ++p) {
    for (std::size_t i = 0; i < std::size(plains); ++i) {
      std::string plain(plains[i].size, '\0');
      for (char& c : plain) {
        c = static_cast<char>(generator());
      }
      const std::string container =
          Encrypt(work, plains[i].name, plain, fuzz::kPasswords[p]);
      const std::string seed =
          static_cast<char>(fuzz::Selector(p, (i + p) % 4)) + container;
      const std::string stem =
          "p" + std::to_string(p) + "-" + std::to_string(plains[i].size);
      Write(folder / "container" / (stem + "-whole"), seed);
      // Cut inside the header, at its end, and inside the body; grown by
      // one byte and by a block.
      for (const std::size_t cut :
           {std::size_t{3}, seed.size() / 2, seed.size() - plains[i].size,
            seed.size() - 1}) {
        if (cut < seed.size()) {
          Write(folder / "container" / (stem + "-cut" + std::to_string(cut)),
                seed.substr(0, cut));
        }
      }
      Write(folder / "container" / (stem + "-grown1"), seed + "x");
      Write(folder / "container" / (stem + "-grown64"),
            seed + std::string(64, '\xA5'));
      count += 7;
    }
  }
  const char* names[] = {"D:\\data\\report.txt", "D:\\data\\archive.tar.gz",
                         "D:\\data.old\\readme", "D:\\data\\notes.",
                         "D:\\data\\.crypt",     "report",
                         "D:\\data\\FILE.CRYPT", "/home/d.crypt/readme",
                         "/out/report.TXT",      "/out/mytxt",
                         "/out/report.doc",      "/out/отчет.тхт"};
  for (std::size_t i = 0; i < std::size(names); ++i) {
    Write(folder / "names" / ("name" + std::to_string(i)), names[i]);
    ++count;
  }
  fs::remove_all(work);
  std::printf("%d seeds in %s\n", count, folder.string().c_str());
  return 0;
}
