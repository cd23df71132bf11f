#include "platform/SoundFontLocator.h"

#include <algorithm>
#include <cstdlib>
#include <fluidsynth.h>
#include <mutex>
#include <vector>

namespace tunquil::platform {

namespace fs = std::filesystem;

static bool IsReadableFile(const fs::path& p) {
    std::error_code ec;
    return !p.empty() && fs::is_regular_file(p, ec);
}

fs::path LocateSoundFont(const std::string& configured) {
    if (IsReadableFile(configured))
        return configured;
    if (const char* env = std::getenv("TUNQUIL_SOUNDFONT"); env && IsReadableFile(env))
        return env;
    for (const char* candidate :
         {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/FluidR3_GM.sf2",
          "/usr/share/sounds/sf2/TimGM6mb.sf2"})
        if (IsReadableFile(candidate))
            return candidate;
    std::error_code ec;
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator("/usr/share/sounds/sf3", ec)) {
        auto ext = entry.path().extension().string();
        if ((ext == ".sf3" || ext == ".sf2") && IsReadableFile(entry.path()))
            found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found.empty() ? fs::path() : found.front();
}

static void IgnoreSynthMessage(int, const char*, void*) {}

void QuietSynthesizerLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fluid_set_log_function(level, IgnoreSynthMessage, nullptr);
    });
}

bool CanLoadSoundFont(const fs::path& path) {
    if (!IsReadableFile(path) || !fluid_is_soundfont(path.c_str()))
        return false;
    QuietSynthesizerLog();
    fluid_settings_t* settings = new_fluid_settings();
    if (!settings)
        return false;
    fluid_synth_t* synth = new_fluid_synth(settings);
    bool loaded = synth && fluid_synth_sfload(synth, path.c_str(), 0) != FLUID_FAILED;
    if (synth)
        delete_fluid_synth(synth);
    delete_fluid_settings(settings);
    return loaded;
}

} // namespace tunquil::platform
