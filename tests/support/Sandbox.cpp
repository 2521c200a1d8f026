#include "support/Sandbox.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace qtest {

namespace {
fs::path g_root;
}

void InitSandboxRoot()
{
    std::string tmpl = (fs::temp_directory_path() / "quarrow-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("cannot create the test sandbox");
    g_root = tmpl;
    fs::create_directories(g_root / "home");
    fs::create_directories(g_root / "runtime");
    fs::permissions(g_root / "runtime", fs::perms::owner_all);
    fs::create_directories(g_root / "etc-xdg");
    const std::string home = (g_root / "home").string();
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (g_root / "runtime").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (g_root / "etc-xdg").c_str(), 1);
    setenv("XDG_DATA_DIRS", (g_root / "share").c_str(), 1);
}

void RemoveSandboxRoot()
{
    std::error_code ec;
    if (!g_root.empty())
        fs::remove_all(g_root, ec);
}

const fs::path& SandboxRoot() { return g_root; }

TempFolder::TempFolder()
{
    std::string tmpl = ((g_root.empty() ? fs::temp_directory_path() : g_root) / "t-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = tmpl;
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

fs::path TempFolder::Write(const std::string& name, const std::string& content) const
{
    const fs::path p = m_path / name;
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << content;
    return p;
}

std::string TempFolder::Read(const std::string& name) const { return ReadFile(m_path / name); }

bool TempFolder::Has(const std::string& name) const
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(m_path / name, ec));
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> FilesIn(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_name(name)
{
    if (const char* old = std::getenv(name)) {
        m_hadValue = true;
        m_oldValue = old;
    }
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (m_hadValue)
        setenv(m_name.c_str(), m_oldValue.c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

int RunAtOnce(int threads, const std::function<int()>& work)
{
    std::atomic<int> ready{0};
    std::atomic<int> total{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&] {
            ++ready;
            while (ready.load() < threads)
                std::this_thread::yield();
            total += work();
        });
    }
    for (auto& t : pool)
        t.join();
    return total.load();
}

bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace qtest
