#include "tests/support/data_cases.h"

#include <windows.h>

#include <sstream>

#include "tests/support/test_support.h"

bool MakeDataCases(const std::string& script, const std::string& arguments, const std::string& prefix,
                   std::string* dir) {
    // One directory per process: the test files of one program run as
    // separate processes side by side.
    *dir = MakeScratchDir(prefix + "-" + std::to_string(GetCurrentProcessId()));
    const std::string path = TestEnvDir("TEST_SOURCE_DIR") + "/tests/data/" + script;
    const std::string stale = "find '" + TestEnvDir("TEST_BINARY_DIR") + "/scratch' -maxdepth 1 -name '" +
                              prefix + "-*' -mmin +30 -exec rm -rf {} +; ";
    const std::string space = arguments.empty() ? "" : " ";
    return RunHostCommand(stale + "/usr/bin/python3 '" + path + "' " + arguments + space + "'" + *dir + "'") == 0;
}

std::vector<std::string> DataCaseNames(const std::string& dir) {
    const std::vector<uint8_t> text = ReadHostFile(dir + "/cases.txt");
    std::istringstream lines(std::string(text.begin(), text.end()));
    std::vector<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) names.push_back(line);
    }
    return names;
}

DataCase LoadDataCase(const std::string& dir, const std::string& name) {
    const std::string stem = dir + "/" + name;
    DataCase result;
    result.name = name;
    const std::vector<uint8_t> meta = ReadHostFile(stem + ".meta");
    std::istringstream lines(std::string(meta.begin(), meta.end()));
    for (std::string key; lines >> key;) {
        if (key == "strip") {
            uint32_t offset = 0, length = 0;
            lines >> offset >> length;
            result.strips.emplace_back(offset, length);
        } else {
            lines >> result.meta[key];
        }
    }
    result.data = ReadHostFile(stem + ".data");
    result.expect = ReadHostFile(stem + ".expect");
    return result;
}
