#pragma once
// Test fixtures: every test process runs with HOME and the XDG folders pointed into a
// private temporary folder (see test_main.cpp), and every test that touches files gets a
// folder of its own.
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qtest {

// The process-wide sandbox root that HOME points at.
const std::filesystem::path& SandboxRoot();

// A fresh, empty folder removed with everything in it when the object goes away.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // The folder with a trailing separator, the form the engine stores folders in.
    std::string Dir() const { return m_path.string() + "/"; }

    // Writes `content` to the file `name` inside the folder and returns its path.
    std::filesystem::path Write(const std::string& name, const std::string& content) const;
    std::string Read(const std::string& name) const;
    bool Has(const std::string& name) const;

private:
    std::filesystem::path m_path;
};

// Sets an environment variable for the lifetime of the object, then restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_hadValue = false;
    std::string m_oldValue;
};

// Polls `pred` every few milliseconds until it holds or `timeout` passes.
bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Runs `work` on `threads` threads released at the same moment (for first-use races)
// and returns the sum of what they return: the number of wrong answers seen.
int RunAtOnce(int threads, const std::function<int()>& work);

std::string ReadFile(const std::filesystem::path& path);

// The names in a folder, sorted.
std::vector<std::string> FilesIn(const std::filesystem::path& folder);

} // namespace qtest
