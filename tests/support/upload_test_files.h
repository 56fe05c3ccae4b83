// Image files for upload tests: a private temporary folder that goes away with the test.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

class UploadTestFiles {
public:
    UploadTestFiles() {
        static std::atomic<int> serial{0};
        // Tests run in parallel processes: a clock stamp and a random word keep folders apart.
        auto stamp = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
                     std::to_string(std::random_device{}());
        folder_ = std::filesystem::temp_directory_path() /
                  ("drusel-upload-" + stamp + "-" + std::to_string(serial++));
        std::filesystem::create_directories(folder_);
    }
    ~UploadTestFiles() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    UploadTestFiles(const UploadTestFiles&) = delete;
    UploadTestFiles& operator=(const UploadTestFiles&) = delete;

    // Writes `bytes` to a file of that name in the folder and returns its path.
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = PathOf(name);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        EXPECT_TRUE(out.good()) << "cannot write " << path;
        return path;
    }

    std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

private:
    std::filesystem::path folder_;
};
