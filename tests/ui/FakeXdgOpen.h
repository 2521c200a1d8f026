#pragma once
// A fake xdg-open first on PATH for the lifetime of the object: it records the target it
// was given and exits with the status last set, so the real shell-open path runs.
#include "support/Sandbox.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace qtest {

class CFakeXdgOpen {
public:
    CFakeXdgOpen()
    {
        const std::filesystem::path bin = m_dir.Path() / "bin";
        std::filesystem::create_directories(bin);
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\n"
               << "printf '%s\\n' \"$1\" >> '" << (m_dir.Path() / "opened").string() << "'\n"
               << "exit $(cat '" << (m_dir.Path() / "status").string() << "')\n";
        script.close();
        std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
        SetStatus(0);
        m_path = std::make_unique<ScopedEnv>("PATH", bin.string() + ":/usr/bin:/bin");
    }

    void SetStatus(int status) { m_dir.Write("status", std::to_string(status)); }
    // Every target opened so far, one a line.
    std::string Opened() const { return m_dir.Has("opened") ? m_dir.Read("opened") : std::string(); }

private:
    TempFolder m_dir;
    std::unique_ptr<ScopedEnv> m_path;
};

} // namespace qtest
