// Test data cases made at test time by a script of tests/data/ with outside
// tools: one directory per test process, a cases.txt listing the case names,
// and per case NAME.meta (key value lines, "strip OFFSET LENGTH" repeated),
// NAME.data (the input file) and NAME.expect (the oracle's decode).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

struct DataCase {
    std::string name;
    std::map<std::string, int64_t> meta;
    std::vector<std::pair<uint32_t, uint32_t>> strips;  // offset, length in data
    std::vector<uint8_t> data;
    std::vector<uint8_t> expect;
    int64_t Get(const std::string& key) const {
        auto it = meta.find(key);
        return it == meta.end() ? 0 : it->second;
    }
};

// Runs tests/data/SCRIPT with ARGUMENTS and the fresh directory it fills
// (named PREFIX-PID under the build's scratch folder; those of earlier runs
// older than 30 minutes are cleared away). False when the script failed.
bool MakeDataCases(const std::string& script, const std::string& arguments, const std::string& prefix,
                   std::string* dir);
std::vector<std::string> DataCaseNames(const std::string& dir);
DataCase LoadDataCase(const std::string& dir, const std::string& name);
