// A fresh directory per test, with the path of a test1.wav in it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

class SoundFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto stamp =
        std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = (std::filesystem::temp_directory_path() /
            ("zolmek-sound-" + std::to_string(stamp)))
               .string();
    ASSERT_TRUE(std::filesystem::create_directory(dir_)) << dir_;
    path_ = (std::filesystem::path(dir_) / "test1.wav").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  void Write(size_t size, char fill) {
    std::ofstream(path_, std::ios::binary) << std::string(size, fill);
  }
  std::string dir_, path_;
};
