// What every test program shares: where the test data lives, Unix paths as
// the Windows side sees them, and running an outside tool of the host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Unix path of a directory given to the tests in an environment variable
// (TEST_DATA_DIR, TEST_SOURCE_DIR, TEST_BINARY_DIR).
std::string TestEnvDir(const char* variable);

// "/tmp/x" -> L"Z:\\tmp\\x": Wine maps the Unix root to drive Z.
std::wstring WindowsPathOf(const std::string& unix_path);

// Runs a command line in the host's /bin/sh and waits for it; returns its
// exit code, or -1 when it could not be started.
int RunHostCommand(const std::string& command);

// Whole-file read of a Unix path (empty when missing).
std::vector<uint8_t> ReadHostFile(const std::string& unix_path);
bool WriteHostFile(const std::string& unix_path, const std::vector<uint8_t>& bytes);

// A fresh empty directory under the build tree for one test (Unix path).
std::string MakeScratchDir(const std::string& name);
