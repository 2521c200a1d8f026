#pragma once
// A small file store standing in for the registry, with the same two roots:
//   current user:  $XDG_CONFIG_HOME/Orlendi/registry.ini (default ~/.config)
//   local machine: <first of $XDG_CONFIG_DIRS>/Orlendi/registry.ini (default /etc/xdg)
// Keys are backslash paths ("Software\Orlendi\Quarrow"), one INI section each; values
// are "name=text" lines inside the section.
#include <map>
#include <memory>
#include <string>

namespace HELPERS {

enum class RegistryRoot { CurrentUser, LocalMachine };
constexpr RegistryRoot HKEY_CURRENT_USER = RegistryRoot::CurrentUser;
constexpr RegistryRoot HKEY_LOCAL_MACHINE = RegistryRoot::LocalMachine;

// Where a root's store lives.
std::string RegistryFilePath(RegistryRoot root);

// An open key: the store file it came from and the key's values.
struct RegistryKey {
    std::string file;
    std::string keyPath;
    std::map<std::string, std::string> values;
    bool writable = false;
};

class registry_value {
public:
    registry_value(const std::string& fullPath, RegistryRoot root);
    virtual ~registry_value();

    // Opens the key; with writeAccess it is created if missing, falling back to read access.
    bool open(bool writeAccess);
    void close();
    bool exists();

protected:
    std::unique_ptr<RegistryKey> m_hKey;
    RegistryRoot m_hRoot;
    std::string m_valueName;
    std::string m_keyPath;
};

class registry_string : public registry_value {
public:
    using registry_value::registry_value;
    ~registry_string() override = default;

    // The value's text, empty if the key or value is missing.
    std::string get_value();
    // Stores the value (creating store file and key as needed); false on failure.
    bool set_value(const std::string& value);
    // Removes the value; false if the store could not be written.
    bool remove_value();
};

// Deletes a key that holds no values, and then the root's store file and its folder if
// nothing is left in them; a key with values stays. False if the store could not be
// changed.
bool RemoveEmptyRegistryKey(const std::string& keyPath, RegistryRoot root);

// Reads a value from the current user's store, then the local machine's.
std::string ReadRegistryString(const std::string& fullPath);

} // namespace HELPERS
