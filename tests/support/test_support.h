// What every test program shares: where the test data lives, Unix paths as
// the Windows side sees them, and running an outside tool of the host.
#pragma once

#include <cstdint>
#include <functional>
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

// True when two host files hold the same bytes (compared by the host's sha256sum).
bool SameHostFiles(const std::string& unix_path, const std::string& other_unix_path);

// UTF-8 of a wide text, for failure messages and host command lines.
std::string Utf8Of(const std::wstring& text);

// Runs body(0) to body(threads - 1) on threads of their own and waits for
// all of them, at most a minute; false when one did not start or end in time.
bool RunConcurrently(int threads, const std::function<void(int)>& body);

// The threads this process has now (0 when the system does not tell).
uint32_t ProcessThreadCount();

// Runs the Python script tests/data/SCRIPT with the ARGUMENTS in a fresh
// scratch directory, after writing the input lines there as in.txt; the
// output lines are what it left in out.txt. False when the script failed.
bool RunDataScript(const std::string& script, const std::string& arguments,
                   const std::vector<std::string>& input_lines, std::vector<std::string>* output_lines);
