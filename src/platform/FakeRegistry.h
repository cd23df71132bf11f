#pragma once
// The registry in memory, for tests of the code above it: it records every key and value, and
// a key can be made to refuse writes so that failure paths can be driven.

#include "platform/Registry.h"

#include <map>
#include <set>
#include <string>
#include <tuple>

namespace tunquil::platform {

class FakeRegistry : public IRegistry {
public:
    bool KeyExists(RegistryRoot root, const std::string& key) override;
    bool ReadString(RegistryRoot root, const std::string& key, const std::string& name,
                    std::string& value) override;
    void WriteString(RegistryRoot root, const std::string& key, const std::string& name,
                     const std::string& value) override;
    bool DeleteValue(RegistryRoot root, const std::string& key, const std::string& name) override;

    // Writes and deletes under this key throw RegistryError from now on.
    void FailWritesTo(RegistryRoot root, const std::string& key);
    // Creates an empty key.
    void CreateKey(RegistryRoot root, const std::string& key);
    int writes() const { return writes_; }

private:
    using KeyId = std::pair<RegistryRoot, std::string>;
    static KeyId Id(RegistryRoot root, const std::string& key);
    void CheckWritable(const KeyId& id) const;

    std::map<KeyId, std::map<std::string, std::string>> keys_;
    std::set<KeyId> failing_;
    int writes_ = 0;
};

} // namespace tunquil::platform
