// For tests that load and save the viewer's settings: this process's
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER point at two keys of the test's
// own, which `wine reg` seeds and reads from outside. Each test file names
// its own root, so test programs running at once never share keys.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <ostream>
#include <regex>
#include <sstream>
#include <utility>

#include "foundation/handles.h"
#include "foundation/registry.h"
#include "tests/support/test_support.h"

using RegValues = std::vector<std::pair<std::string, std::string>>;

struct RegListedValue {
    std::string type;
    std::string text;
    bool operator==(const RegListedValue&) const = default;
};
using RegListing = std::map<std::string, RegListedValue>;

inline RegListedValue Sz(const std::string& text) { return {"REG_SZ", text}; }
inline void PrintTo(const RegListedValue& value, std::ostream* out) {
    *out << value.type << " \"" << value.text << "\"";
}

// Redirects both roots to HKCU\Software\<root>\Machine and ...\User while
// it lives, and removes the whole root before and after.
class SettingsKeyRedirect {
  public:
    explicit SettingsKeyRedirect(const std::string& root)
        : root_(L"Software\\" + std::wstring(root.begin(), root.end())), root_name_(root) {
        RegDeleteTreeW(HKEY_CURRENT_USER, root_.c_str());
        machine_ = RegOpen(HKEY_CURRENT_USER, (root_ + L"\\Machine").c_str(), false);
        user_ = RegOpen(HKEY_CURRENT_USER, (root_ + L"\\User").c_str(), false);
        ok_ = machine_ && user_ &&
              RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_.get()) == ERROR_SUCCESS &&
              RegOverridePredefKey(HKEY_CURRENT_USER, user_.get()) == ERROR_SUCCESS;
    }
    ~SettingsKeyRedirect() {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        machine_.Reset();
        user_.Reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, root_.c_str());
    }
    SettingsKeyRedirect(const SettingsKeyRedirect&) = delete;
    SettingsKeyRedirect& operator=(const SettingsKeyRedirect&) = delete;

    bool ok() const { return ok_; }
    // The settings keys as `wine reg` names them.
    std::string MachineSettingsKey() const { return OutsideName("Machine"); }
    std::string UserSettingsKey() const { return OutsideName("User"); }

  private:
    std::string OutsideName(const char* side) const {
        return "HKCU\\Software\\" + root_name_ + "\\" + side + "\\Software\\Ostrel\\Plovex5";
    }

    std::wstring root_;
    std::string root_name_;
    RegKey machine_;
    RegKey user_;
    bool ok_ = false;
};

// Adds every value with `wine reg add`, as text.
inline void SeedRegistry(const std::string& key, const RegValues& values) {
    std::string command;
    for (const auto& [name, value] : values) {
        if (!command.empty()) command += " && ";
        command += "wine reg add '" + key + "' /v '" + name + "' /d '" + value + "' /f >/dev/null 2>&1";
    }
    ASSERT_EQ(RunHostCommand(command), 0) << command;
}

// The key's values as `wine reg query` lists them ("    NAME    TYPE    TEXT").
inline RegListing QueryRegistry(const std::string& key, const std::string& scratch_name) {
    const std::string dir = MakeScratchDir(scratch_name);
    RunHostCommand("wine reg query '" + key + "' >'" + dir + "/out.txt' 2>/dev/null");
    const std::vector<uint8_t> bytes = ReadHostFile(dir + "/out.txt");
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    static const std::regex value_line("    (.*?)    (.*?)(?:    (.*))?");
    RegListing listing;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::smatch match;
        if (std::regex_match(line, match, value_line)) listing[match[1]] = {match[2], match[3]};
    }
    return listing;
}
