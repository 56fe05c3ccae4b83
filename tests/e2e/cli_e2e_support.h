// Shared pieces of the drusel-update end-to-end tests: units on the bench, image files,
// and the JSON lines of a run.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli_json.h"
#include "cli_process.h"
#include "sim_bench.h"
#include "unit_config.h"

// A unit from its one-line text ("kestrale:U fault=final:byte:E"); fails the test on a typo.
UnitConfig Unit(const std::string& text);

// Every bench port empty; a fresh folder for image files.
class CliE2ETest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    SimBench& bench = SimBench::Get();
    // "--port P1 --port P2 ..." for ports first..last.
    std::vector<std::string> Ports(int first, int last) const;
    // Port i as the tool shows it: its name, and the device the name leads to.
    std::string ShownPort(int i) const;
    // A valid image of n bytes (the last one the sum of the others), written to a file.
    std::string WriteImage(const std::string& name, const std::vector<uint8_t>& bytes) const;

public:
    static std::vector<uint8_t> GoodImage(size_t n, uint8_t seed = 7);

protected:

    std::string dir;
};

// Every stdout line parsed as JSON; a line that does not parse fails the test.
std::vector<JsonValue> JsonLines(const CliRun& run);
// The args with more args appended.
std::vector<std::string> Args(std::vector<std::string> head, const std::vector<std::string>& tail);
// True when needle occurs in haystack as a contiguous run.
bool Contains(const std::vector<uint8_t>& haystack, const std::vector<uint8_t>& needle);
