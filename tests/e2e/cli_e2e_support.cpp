#include "cli_e2e_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

UnitConfig Unit(const std::string& text) {
    UnitConfig config;
    std::string error;
    EXPECT_TRUE(ParseUnitConfig(text, &config, &error)) << text << ": " << error;
    return config;
}

void CliE2ETest::SetUp() {
    for (int i = 1; i <= bench.PortCount(); ++i) bench.Configure(i, UnitConfig::Absent());
    char pattern[] = "/tmp/dcliXXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
}

void CliE2ETest::TearDown() {
    std::error_code error;
    std::filesystem::remove_all(dir, error);
}

std::vector<std::string> CliE2ETest::Ports(int first, int last) const {
    std::vector<std::string> args;
    for (int i = first; i <= last; ++i) {
        args.push_back("--port");
        args.push_back(bench.PortName(i));
    }
    return args;
}

std::string CliE2ETest::ShownPort(int i) const {
    const std::string name = bench.PortName(i);
    char device[4096] = {};
    if (realpath(name.c_str(), device) == nullptr || name == device) return name;
    return name + " (" + device + ")";
}

std::vector<uint8_t> CliE2ETest::GoodImage(size_t n, uint8_t seed) {
    std::vector<uint8_t> bytes(n);
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < n; ++i) {
        bytes[i] = static_cast<uint8_t>((i * 31 + seed) ^ (i >> 8));
        sum = static_cast<uint8_t>(sum + bytes[i]);
    }
    if (n > 0) bytes[n - 1] = sum;
    return bytes;
}

std::string CliE2ETest::WriteImage(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::string path = dir + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) return path;
    if (!bytes.empty()) {
        EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    }
    std::fclose(file);
    return path;
}

std::vector<JsonValue> JsonLines(const CliRun& run) {
    std::vector<JsonValue> values;
    for (const std::string& line : run.OutLines()) {
        JsonValue value;
        EXPECT_TRUE(ParseJson(line, &value)) << "not JSON: " << line;
        values.push_back(value);
    }
    return values;
}

std::vector<std::string> Args(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

bool Contains(const std::vector<uint8_t>& haystack, const std::vector<uint8_t>& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}
