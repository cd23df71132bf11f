#include "platform/FakeRegistry.h"

namespace tunquil::platform {

FakeRegistry::KeyId FakeRegistry::Id(RegistryRoot root, const std::string& key) {
    return {root, NormalizeKey(key)};
}

bool FakeRegistry::KeyExists(RegistryRoot root, const std::string& key) {
    return keys_.count(Id(root, key)) > 0;
}

bool FakeRegistry::ReadString(RegistryRoot root, const std::string& key, const std::string& name,
                              std::string& value) {
    auto k = keys_.find(Id(root, key));
    if (k == keys_.end())
        return false;
    auto v = k->second.find(name);
    if (v == k->second.end())
        return false;
    value = v->second;
    return true;
}

void FakeRegistry::CheckWritable(const KeyId& id) const {
    if (failing_.count(id))
        throw RegistryError(std::string("Failed to write to ") + RootName(id.first) + "\\" +
                            id.second);
}

void FakeRegistry::WriteString(RegistryRoot root, const std::string& key, const std::string& name,
                               const std::string& value) {
    KeyId id = Id(root, key);
    CheckWritable(id);
    keys_[id][name] = value;
    ++writes_;
}

bool FakeRegistry::DeleteValue(RegistryRoot root, const std::string& key, const std::string& name) {
    KeyId id = Id(root, key);
    CheckWritable(id);
    auto k = keys_.find(id);
    if (k == keys_.end())
        return false;
    ++writes_;
    return k->second.erase(name) > 0;
}

void FakeRegistry::FailWritesTo(RegistryRoot root, const std::string& key) {
    failing_.insert(Id(root, key));
}

void FakeRegistry::CreateKey(RegistryRoot root, const std::string& key) {
    keys_[Id(root, key)];
}

} // namespace tunquil::platform
