// quarrow-install-registry: records and forgets the registry values that make install owns
// (the current user's ProgramPath and HelpFilePath). Run by scripts/install and
// scripts/uninstall; installed in libexec so that uninstalling needs no build folder.
//   quarrow-install-registry record PROGRAM HELPFILE
//   quarrow-install-registry forget PREFIX   (then the key, and the store, if left empty)
#include "helpers/Registry.h"
#include "helpers/RegistryValues.h"

#include <iostream>
#include <string>

namespace {

constexpr const char* kValues[] = {HELPERS::kProgramPathValue, HELPERS::kHelpFilePathValue};

int Usage()
{
    std::cerr << "usage: quarrow-install-registry record PROGRAM HELPFILE\n"
                 "       quarrow-install-registry forget PREFIX\n";
    return 64;
}

int Fail(const std::string& what)
{
    std::cerr << "quarrow-install-registry: could not " << what << " in "
              << HELPERS::RegistryFilePath(HELPERS::HKEY_CURRENT_USER) << '\n';
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "record" && argc == 4) {
        for (int i = 0; i < 2; ++i)
            if (!HELPERS::registry_string(kValues[i], HELPERS::HKEY_CURRENT_USER).set_value(argv[2 + i]))
                return Fail(std::string("write ") + kValues[i]);
        return 0;
    }
    if (command == "forget" && argc == 3) {
        std::string inside = argv[2];
        if (inside.empty() || inside.back() != '/')
            inside += '/';
        // A value that now names another installation belongs to that one.
        for (const char* name : kValues) {
            HELPERS::registry_string value(name, HELPERS::HKEY_CURRENT_USER);
            if (value.get_value().rfind(inside, 0) == 0 && !value.remove_value())
                return Fail(std::string("remove ") + name);
        }
        // A key (and store) that only this installation's values filled goes with them.
        if (!HELPERS::RemoveEmptyRegistryKey(HELPERS::kQuarrowKey, HELPERS::HKEY_CURRENT_USER))
            return Fail("remove the emptied key");
        return 0;
    }
    return Usage();
}
