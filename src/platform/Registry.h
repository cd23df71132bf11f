#pragma once
// The registry layer: string values under keys of three roots, each key a "\"-separated path
// as the shell names it. The real implementation keeps them in the desktop's own files (the
// desktop entry, mimeapps.list, the autostart entry) and the rest in registry.ini; the test
// double keeps them in memory. Every call opens and closes what it needs, so nothing is left
// open when a call throws.

#include <stdexcept>
#include <string>

namespace tunquil::platform {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine };

// A registry write that failed; the text names the key and the reason.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The name of a key's default (unnamed) value.
inline constexpr const char* kDefaultValue = "";

class IRegistry {
public:
    virtual ~IRegistry() = default;

    // True when the key exists (opening it without creating would succeed).
    virtual bool KeyExists(RegistryRoot root, const std::string& key) = 0;
    // False, `value` untouched, when the key or the value does not exist.
    virtual bool ReadString(RegistryRoot root, const std::string& key, const std::string& name,
                            std::string& value) = 0;
    // Creates the key when missing. Throws RegistryError.
    virtual void WriteString(RegistryRoot root, const std::string& key, const std::string& name,
                             const std::string& value) = 0;
    // False when there was nothing to delete. Throws RegistryError when the delete failed.
    virtual bool DeleteValue(RegistryRoot root, const std::string& key,
                             const std::string& name) = 0;
};

// "HKEY_CLASSES_ROOT" and so on: how a root is named in messages and in registry.ini.
const char* RootName(RegistryRoot root);

// A key path with its leading and trailing "\" removed, for comparing and storing.
std::string NormalizeKey(const std::string& key);

} // namespace tunquil::platform
