#pragma once
// The keys of one section of Tunquil.ini that a settings struct keeps, each named once with its
// field and its default: the same table reads the struct and writes it back, in table order. A
// key with rules of its own (a range, a condition for writing) brings its own two steps.

#include "base/IniFile.h"

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace tunquil {

template <class Settings> class IniKeys {
public:
    using ReadStep = std::function<void(const IniFile&, Settings&)>;
    using WriteStep = std::function<void(IniFile&, const Settings&)>;

    explicit IniKeys(std::string section) : section_(std::move(section)) {}
    const std::string& Section() const { return section_; }

    // A bool, an integer (written as a decimal int, as the file keeps them) or a string field.
    template <class T> IniKeys& Add(const char* key, T Settings::*field, T fallback) {
        const std::string section = section_;
        ReadStep read = [=](const IniFile& ini, Settings& s) {
            if constexpr (std::is_same_v<T, bool>)
                s.*field = ini.ReadBool(section, key, fallback);
            else if constexpr (std::is_integral_v<T>)
                s.*field =
                    static_cast<T>(ini.ReadInteger(section, key, static_cast<int>(fallback)));
            else
                s.*field = ini.ReadString(section, key, fallback);
        };
        WriteStep write = [=](IniFile& ini, const Settings& s) {
            if constexpr (std::is_same_v<T, bool>)
                ini.WriteBool(section, key, s.*field);
            else if constexpr (std::is_integral_v<T>)
                ini.WriteInteger(section, key, static_cast<int>(s.*field));
            else
                ini.WriteString(section, key, s.*field);
        };
        return Add(std::move(read), std::move(write));
    }
    // A key with rules of its own; a null `write` is a key that is only read.
    IniKeys& Add(ReadStep read, WriteStep write) {
        steps_.push_back({std::move(read), std::move(write)});
        return *this;
    }

    void Read(const IniFile& ini, Settings& settings) const {
        for (const auto& step : steps_)
            step.read(ini, settings);
    }
    void Write(IniFile& ini, const Settings& settings) const {
        for (const auto& step : steps_)
            if (step.write)
                step.write(ini, settings);
    }

private:
    struct Steps {
        ReadStep read;
        WriteStep write;
    };
    std::string section_;
    std::vector<Steps> steps_;
};

} // namespace tunquil
