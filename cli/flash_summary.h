// The end of flash --all: one result per unit, the summary table, the JSON line of each
// unit, and the verdict over all of them. Pure functions of the results, tested as such.
#pragma once
#include <string>
#include <vector>

#include "json_line.h"
#include "port_probe.h"
#include "unit_flash.h"

struct UnitResult {
    PortReport report;   // the unit as found before the flash
    FlashEnd end;
    JsonLine extra;      // the fields a single flash would report
    double seconds = 0;  // from the start of all uploads to this unit's end
};

// "updated", "updated, version unchanged", or the failure's headline.
std::string ResultWords(const UnitResult& result);
// Port | Unit | Version | Result | Time, then the detail of each unit that failed.
std::string SummaryTable(const std::vector<UnitResult>& results);
// {"event":"unit_result","port":...,"exit":...,"message":...,"detail":...,<the single flash's fields>}
JsonLine UnitResultJson(const UnitResult& result);

struct FlashVerdict {
    ExitCode exit;
    std::string headline;
    std::string detail;
    size_t updated = 0;
};
// Exit 0 only when every unit succeeded, otherwise the first failing unit's code in port order.
FlashVerdict VerdictOf(const std::vector<UnitResult>& results);
