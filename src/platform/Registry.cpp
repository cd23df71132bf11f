#include "platform/Registry.h"

namespace tunquil::platform {

const char* RootName(RegistryRoot root) {
    switch (root) {
    case RegistryRoot::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case RegistryRoot::CurrentUser:
        return "HKEY_CURRENT_USER";
    case RegistryRoot::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    }
    return "HKEY_UNKNOWN";
}

std::string NormalizeKey(const std::string& key) {
    std::size_t first = key.find_first_not_of('\\');
    if (first == std::string::npos)
        return {};
    std::size_t last = key.find_last_not_of('\\');
    return key.substr(first, last - first + 1);
}

} // namespace tunquil::platform
