// The loopback HTTP server of tests/data/download_server.py, started in the
// background for a suite and stopped after it.
#pragma once

#include <windows.h>

#include "tests/support/test_support.h"

class DownloadServer {
  public:
    bool Start(const std::string& name) {
        const std::string dir = MakeScratchDir("download_" + name);
        docs_ = dir + "/docs";
        state_ = dir + "/state";
        const std::string script = TestEnvDir("TEST_SOURCE_DIR") + "/tests/data/download_server.py";
        if (RunHostCommand("mkdir -p '" + docs_ + "' '" + state_ + "'") != 0) return false;
        if (RunHostCommand("setsid /usr/bin/python3 '" + script + "' http '" + docs_ + "' '" + state_ +
                           "' </dev/null >'" + state_ + "/server.out' 2>&1 &") != 0) {
            return false;
        }
        for (int waited_ms = 0; waited_ms < 15000; waited_ms += 20) {
            const std::vector<uint8_t> port = ReadHostFile(state_ + "/port");
            if (!port.empty()) {
                port_.assign(port.begin(), port.end());
                return true;
            }
            Sleep(20);
        }
        return false;
    }
    void Stop() {
        if (!port_.empty()) RunHostCommand("kill $(cat '" + state_ + "/pid') 2>/dev/null");
        port_.clear();
    }
    // Whether a request for the path (as Url takes it) has reached the
    // server.
    bool Requested(const std::string& path) const {
        const std::vector<uint8_t> log = ReadHostFile(state_ + "/requests.log");
        return std::string(log.begin(), log.end()).find("\"" + path + "\"") != std::string::npos;
    }
    // Where a served document is written on the host.
    std::string Document(const std::string& name) const { return docs_ + "/" + name; }
    std::wstring Url(const std::string& path) const {
        const std::string url = "http://127.0.0.1:" + port_ + path;
        return std::wstring(url.begin(), url.end());
    }

  private:
    std::string docs_, state_, port_;
};
