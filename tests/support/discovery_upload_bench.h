// Fixture for discovery and upload on real serial ports against emulated units: the
// SimBench's ports (pseudo-terminals natively, COM ports under wine), all emptied before
// each test, and the caller-given port list that names them.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_link.h"
#include "sim_bench.h"

class BenchTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 1; i <= bench.PortCount(); ++i) {
            bench.Configure(i, UnitConfig::Absent());
            names.push_back(bench.PortName(i));
        }
        for (const std::string& name : names) nameList.push_back(name.c_str());
    }

    PortList Ports() const { return PortList{nameList.data(), nameList.size()}; }

    SimBench& bench = SimBench::Get();
    DeviceLink link;
    std::vector<std::string> names;
    std::vector<const char*> nameList;
};
