#include "helpers/Registry.h"

#include "helpers/AsciiText.h"
#include "helpers/AtomicFile.h"
#include "helpers/FileText.h"
#include "helpers/UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <utility>
#include <vector>

#include <unistd.h>

namespace HELPERS {

namespace {

using Values = std::vector<std::pair<std::string, std::string>>;
using Sections = std::vector<std::pair<std::string, Values>>;

// Registry names are case-insensitive.
bool SameName(const std::string& a, const std::string& b) { return EqualsIgnoringAsciiCase(a, b); }

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return std::string();
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Missing reads as an empty store; anything else that cannot be read stays unread, and
// a writer then leaves it alone rather than replace it with only its own key.
FileTextResult ReadStore(const std::string& file, Sections& out)
{
    std::string text;
    const FileTextResult result = ReadFileText(file, text);
    std::istringstream in(text);
    std::string line;
    Values* current = nullptr;
    while (std::getline(in, line)) {
        const std::string t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#')
            continue;
        if (t.front() == '[' && t.back() == ']') {
            out.emplace_back(t.substr(1, t.size() - 2), Values{});
            current = &out.back().second;
        } else if (current) {
            const auto eq = t.find('=');
            if (eq != std::string::npos)
                current->emplace_back(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
        }
    }
    return result;
}

bool WriteStore(const std::string& file, const Sections& sections)
{
    const auto slash = file.rfind('/');
    if (slash != std::string::npos && !CreateFolderPath(file.substr(0, slash)))
        return false;
    std::string text;
    for (const auto& [key, values] : sections) {
        text += '[' + key + "]\n";
        for (const auto& [name, value] : values)
            text += name + '=' + value + '\n';
        text += '\n';
    }
    return ReplaceFileAtomically(file, text);
}

// Threads of this process change the store one at a time, so that one's read-modify-write
// never drops what another wrote in between.
std::mutex& StoreMutex()
{
    static std::mutex mutex;
    return mutex;
}

Sections::iterator FindSection(Sections& sections, const std::string& key)
{
    for (auto it = sections.begin(); it != sections.end(); ++it)
        if (SameName(it->first, key))
            return it;
    return sections.end();
}

// Runs `edit` on the store's keys under the store lock: a missing store has nothing to
// edit, and one that cannot be read is left alone.
template <class Edit>
bool EditExistingStore(const std::string& file, Edit edit)
{
    const std::lock_guard lock(StoreMutex());
    Sections sections;
    const FileTextResult read = ReadStore(file, sections);
    if (read != FileTextResult::Read)
        return read == FileTextResult::Missing;
    return edit(sections);
}

} // namespace

std::string RegistryFilePath(RegistryRoot root)
{
    if (root == RegistryRoot::CurrentUser)
        return GetUserConfigFolder() + "/Orlendi/registry.ini";
    std::string dirs;
    if (const char* env = std::getenv("XDG_CONFIG_DIRS"))
        dirs = env;
    std::string first = dirs.substr(0, dirs.find(':'));
    if (first.empty() || first[0] != '/')
        first = "/etc/xdg";
    return first + "/Orlendi/registry.ini";
}

registry_value::registry_value(const std::string& fullPath, RegistryRoot root) : m_hRoot(root)
{
    const auto pos = fullPath.rfind('\\');
    if (pos == std::string::npos) {
        m_valueName = fullPath;
    } else {
        m_keyPath = fullPath.substr(0, pos);
        m_valueName = fullPath.substr(pos + 1);
    }
}

registry_value::~registry_value() = default;

bool registry_value::open(bool writeAccess)
{
    close();
    const std::string file = RegistryFilePath(m_hRoot);
    const std::lock_guard lock(StoreMutex());
    Sections sections;
    const FileTextResult read = ReadStore(file, sections);
    const bool readable = read == FileTextResult::Read;
    auto it = FindSection(sections, m_keyPath);

    if (writeAccess) {
        bool ok = read != FileTextResult::Unusable;
        if (ok && it == sections.end()) {
            sections.emplace_back(m_keyPath, Values{});
            ok = WriteStore(file, sections);
            it = sections.end() - 1;
        } else if (ok) {
            ok = MayWriteFile(file);
        }
        if (ok) {
            m_hKey = std::make_unique<RegistryKey>();
            m_hKey->file = file;
            m_hKey->keyPath = it->first;
            for (const auto& [name, value] : it->second)
                m_hKey->values[name] = value;
            m_hKey->writable = true;
            return true;
        }
        if (!readable)
            return false;
        sections.clear();
        ReadStore(file, sections);
        it = FindSection(sections, m_keyPath);
    }

    if (!readable || it == sections.end())
        return false;
    m_hKey = std::make_unique<RegistryKey>();
    m_hKey->file = file;
    m_hKey->keyPath = it->first;
    for (const auto& [name, value] : it->second)
        m_hKey->values[name] = value;
    return true;
}

void registry_value::close() { m_hKey.reset(); }

namespace {
const std::string* FindValue(const RegistryKey& key, const std::string& name)
{
    for (const auto& [n, v] : key.values)
        if (SameName(n, name))
            return &v;
    return nullptr;
}
} // namespace

bool registry_value::exists()
{
    if (!open(false))
        return false;
    const bool found = FindValue(*m_hKey, m_valueName) != nullptr;
    close();
    return found;
}

std::string registry_string::get_value()
{
    if (!open(false))
        return std::string();
    const std::string* v = FindValue(*m_hKey, m_valueName);
    std::string result = v ? *v : std::string();
    close();
    // The stored text ends at its first zero byte, as a registry string does.
    return result.substr(0, result.find('\0'));
}

bool registry_string::set_value(const std::string& value)
{
    if (value.find_first_of("\r\n") != std::string::npos)
        return false;
    const std::string file = RegistryFilePath(m_hRoot);
    const std::lock_guard lock(StoreMutex());
    Sections sections;
    if (ReadStore(file, sections) == FileTextResult::Unusable)
        return false;
    auto it = FindSection(sections, m_keyPath);
    if (it == sections.end()) {
        sections.emplace_back(m_keyPath, Values{});
        it = sections.end() - 1;
    }
    bool replaced = false;
    for (auto& [name, v] : it->second)
        if (SameName(name, m_valueName)) {
            v = value;
            replaced = true;
        }
    if (!replaced)
        it->second.emplace_back(m_valueName, value);
    return WriteStore(file, sections);
}

bool registry_string::remove_value()
{
    const std::string file = RegistryFilePath(m_hRoot);
    return EditExistingStore(file, [&](Sections& sections) {
        auto it = FindSection(sections, m_keyPath);
        if (it == sections.end())
            return true;
        std::erase_if(it->second, [&](const auto& nv) { return SameName(nv.first, m_valueName); });
        return WriteStore(file, sections);
    });
}

bool RemoveEmptyRegistryKey(const std::string& keyPath, RegistryRoot root)
{
    const std::string file = RegistryFilePath(root);
    return EditExistingStore(file, [&](Sections& sections) {
        const auto it = FindSection(sections, keyPath);
        if (it == sections.end() || !it->second.empty())
            return true;
        sections.erase(it);
        if (!sections.empty())
            return WriteStore(file, sections);
        if (::unlink(file.c_str()) != 0 && errno != ENOENT)
            return false;
        ::rmdir(file.substr(0, file.rfind('/')).c_str()); // only when empty
        return true;
    });
}

std::string ReadRegistryString(const std::string& fullPath)
{
    for (RegistryRoot root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        registry_string value(fullPath, root);
        if (value.exists())
            return value.get_value();
    }
    return std::string();
}

} // namespace HELPERS
