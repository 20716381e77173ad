// What the test programs share: a scratch folder, file writers, and a fixture
// with a fresh platform world and a simulated host.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/panel_host.h"
#include "platform_control.h"

namespace testing_support {

// A folder of its own for each test, made the current directory while the
// test runs (gauges resolve relative paths against it) and removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& path() const { return path_; }
  // Writes a file below the folder, making its folders; returns its full path.
  std::string write(const std::string& relativePath, const std::string& contents) const;
  std::string write(const std::string& relativePath, const std::vector<uint8_t>& contents) const;
  void remove(const std::string& relativePath) const;

 private:
  std::string path_;
  std::string previous_;
};

// A fresh platform world, a host with the simulator's main window, and a
// scratch folder as the current directory. Each load is a fresh module.
class GaugeTest : public ::testing::Test {
 protected:
  GaugeTest();
  ~GaugeTest() override;

  host::GaugeModule* loadKorvane3();
  host::GaugeModule* loadVantric();

  ScratchFolder scratch;
  std::unique_ptr<host::PanelHost> panel;
  HWND mainWindow = nullptr;
  platform::LiveCounts countsAtStart{};
};

std::vector<uint8_t> readFile(const std::string& path);

}  // namespace testing_support
