#include "test_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace testing_support {

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  char name[] = "/tmp/gaugetestXXXXXX";
  path_ = mkdtemp(name);
  previous_ = fs::current_path().string();
  fs::current_path(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
  fs::remove_all(path_, ignored);
}

std::string ScratchFolder::write(const std::string& relativePath, const std::string& contents) const {
  return write(relativePath, std::vector<uint8_t>(contents.begin(), contents.end()));
}

std::string ScratchFolder::write(const std::string& relativePath, const std::vector<uint8_t>& contents) const {
  const fs::path full = fs::path(path_) / relativePath;
  fs::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(contents.data()), static_cast<std::streamsize>(contents.size()));
  return full.string();
}

void ScratchFolder::remove(const std::string& relativePath) const {
  std::error_code ignored;
  fs::remove(fs::path(path_) / relativePath, ignored);
}

GaugeTest::GaugeTest() {
  platform::reset();
  panel = std::make_unique<host::PanelHost>();
  mainWindow = platform::createWindow("FS98MAIN", "Flight Simulator");
  countsAtStart = platform::liveCounts();
}

GaugeTest::~GaugeTest() {
  panel.reset();
  platform::destroyWindow(mainWindow);
}

host::GaugeModule* GaugeTest::loadKorvane3() {
  std::string error;
  host::GaugeModule* module = panel->load(KORVANE3_MODULE_PATH, &error);
  EXPECT_NE(module, nullptr) << error;
  return module;
}

host::GaugeModule* GaugeTest::loadVantric() {
  std::string error;
  host::GaugeModule* module = panel->load(VANTRIC_MODULE_PATH, &error);
  EXPECT_NE(module, nullptr) << error;
  return module;
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testing_support
