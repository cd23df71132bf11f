#pragma once
// A large database written straight to disk for the benchmarks: live titles in 40 categories
// with varied titles, artists, durations (some unmeasured), origins and dates.

#include "base/ScriptedHost.h"
#include "database/TCatList.h"
#include "database/TitleRecord.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace tunquil::bench {

namespace fs = std::filesystem;

inline const char* kWords[] = {"moon",    "river", "dance", "night", "blue",    "sonata", "waltz",
                               "prelude", "rag",   "fugue", "march", "theme",   "love",   "song",
                               "winter",  "light", "dream", "storm", "Allegro", "minor",  "major"};
inline const char* kNames[] = {"Bach",  "Mozart", "Joplin", "Chopin", "Lee",
                               "Smith", "Brown",  "Satie",  "Grieg",  "Ravel",
                               "Holst", "Elgar",  "Byrd",   "Liszt",  "Verdi"};

inline std::string Words(std::mt19937& random, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        if (i)
            s += ' ';
        s += kWords[random() % std::size(kWords)];
    }
    return s;
}

// Writes Music.des / Music.dat of `titles` live titles in 40 categories straight to disk, a
// batch of records at a time so that building costs little memory.
inline void BuildDatabase(const fs::path& home, int titles) {
    ScriptedHost host;
    TCatList categories(home);
    categories.Load();
    for (int c = 0; c < 40; ++c)
        categories.AddCategory("Category " + std::to_string(c));
    std::mt19937 random(42);
    std::ofstream des(home / "Music.des", std::ios::binary);
    std::ofstream dat(home / "Music.dat", std::ios::binary);
    const std::string stored(200, 'z');
    std::string batch;
    for (int i = 1; i <= titles; ++i) {
        TitleRecord r;
        r.active = true;
        r.slotNumber = i;
        r.dataOffset = (i - 1) * 200;
        r.dataSize = 200;
        r.masterKey = i;
        r.ck = 1 + static_cast<int32_t>(random() % 40);
        r.pk = 1 + static_cast<int32_t>(random() % 500);
        r.categoryName = "Category " + std::to_string(r.ck - 1);
        r.lastName = kNames[random() % std::size(kNames)];
        r.firstName = std::string(1, char('A' + random() % 26)) + ".";
        r.artist = JoinFullName(r.firstName, r.lastName);
        r.title = Words(random, 2 + static_cast<int>(random() % 3));
        r.duration = static_cast<int32_t>(random() % 600) - 1;
        r.durationText = DurationText(r.duration);
        r.origin = "/home/user/Music/midi/" + r.lastName + "/" + Words(random, 2) + " " +
                   std::to_string(i) + ".mid";
        r.dateObtained = 44000 + (random() % 2000000) / 1000.0;
        batch.append(EncodeTitleRecord(r).data(), kTitleRecordSize);
        dat.write(stored.data(), static_cast<std::streamsize>(stored.size()));
        if (batch.size() >= (1u << 20)) {
            des.write(batch.data(), static_cast<std::streamsize>(batch.size()));
            batch.clear();
        }
    }
    des.write(batch.data(), static_cast<std::streamsize>(batch.size()));
}

} // namespace tunquil::bench
