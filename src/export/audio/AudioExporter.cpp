#include "export/audio/AudioExporter.h"

#include "base/Text.h"
#include "database/TCatList.h"
#include "database/TMyDB.h"
#include "database/TitleRecord.h"
#include "export/TitleExport.h"
#include "export/archive/StoredTune.h"
#include "export/audio/AudioFile.h"
#include "platform/TuneRenderer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace tunquil {

namespace fs = std::filesystem;

std::string AudioExportResult::Summary() const {
    std::string text = std::to_string(written.size()) + " written";
    if (!failed.empty()) {
        text += ", " + std::to_string(failed.size()) + " failed:";
        for (std::size_t i = 0; i < failed.size(); ++i)
            text += (i ? "; " : " ") + failed[i].title + " (" + failed[i].reason + ")";
    }
    if (!kept.empty())
        text += ", " + std::to_string(kept.size()) + " already there and not replaced";
    if (cancelled)
        text += ", cancelled";
    return text;
}

fs::path AudioFileNames::For(const std::string& title, int32_t masterKey) {
    std::string name = SafeTitleFileName(title, masterKey);
    std::string file = name + extension_;
    for (int more = 2; given_.count(UpperAscii(file)); ++more) {
        // The key makes the name distinct, unless another title is named like that already.
        file = name + " (" + std::to_string(masterKey) + ")" +
               (more > 2 ? " " + std::to_string(more - 1) : std::string()) + extension_;
    }
    given_.insert(UpperAscii(file));
    return dir_ / file;
}

namespace {

using Clock = std::chrono::steady_clock;

struct Job {
    std::string title;
    std::string midi;
    fs::path target;
    AudioFileOptions options;
};

struct Outcome {
    std::string title;
    fs::path target;
    enum { Written, Failed, Kept, Cancelled } kind = Written;
    std::string reason;
};

std::string TimeLeft(Clock::duration elapsed, std::size_t finished, std::size_t total) {
    if (finished == 0 || finished >= total)
        return {};
    auto seconds = long(std::chrono::duration<double>(elapsed).count() / double(finished) *
                            double(total - finished) +
                        0.5);
    std::string s = std::to_string(seconds % 60);
    return ", about " + std::to_string(seconds / 60) + ":" + (s.size() < 2 ? "0" : "") + s +
           " left";
}

} // namespace

AudioExportResult AudioExporter::Export(const std::vector<int32_t>& masterKeys, const fs::path& dir,
                                        const AudioSettings& settings, ExistingAudioFile existing,
                                        const std::string& album) {
    CheckAudioSettings(settings);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec)
        throw AudioExportError("Cannot make the folder " + dir.string() + ": " + ec.message());

    AudioExportResult result;
    BusyScope busy(host_);
    unsigned workers = workers_ ? workers_ : std::max(1u, std::thread::hardware_concurrency());
    workers = unsigned(std::min<std::size_t>(workers, std::max<std::size_t>(1, masterKeys.size())));

    std::mutex lock;
    std::condition_variable changed;
    std::deque<Job> queue;
    std::vector<Outcome> outcomes;
    std::string rendering; // the title a worker took up last
    bool noMore = false;
    std::atomic<bool> cancel{false};

    auto work = [&] {
        std::unique_ptr<platform::TuneRenderer> renderer;
        std::string rendererError;
        for (;;) {
            Job job;
            {
                std::unique_lock held(lock);
                changed.wait(held, [&] { return !queue.empty() || noMore; });
                if (queue.empty())
                    return;
                job = std::move(queue.front());
                queue.pop_front();
                rendering = job.title;
            }
            Outcome outcome{job.title, job.target, Outcome::Written, {}};
            if (!renderer && rendererError.empty()) {
                try {
                    renderer = std::make_unique<platform::TuneRenderer>(
                        settings.soundFontSetting, settings.EffectiveSampleRate());
                } catch (const std::exception& e) {
                    rendererError = e.what();
                }
            }
            try {
                if (!renderer)
                    throw AudioExportError(rendererError);
                const auto* bytes = reinterpret_cast<const uint8_t*>(job.midi.data());
                WriteAudioFile(*renderer, {bytes, job.midi.size()}, job.target, job.options);
            } catch (const AudioExportCancelled&) {
                outcome.kind = Outcome::Cancelled;
            } catch (const AudioFileExists&) {
                outcome.kind = Outcome::Kept;
            } catch (const std::exception& e) {
                outcome.kind = Outcome::Failed;
                outcome.reason = e.what();
            }
            std::lock_guard held(lock);
            outcomes.push_back(std::move(outcome));
            changed.notify_all();
        }
    };

    std::size_t total = masterKeys.size(), finished = 0;
    const auto start = Clock::now();
    auto take = [&](Outcome& o) {
        ++finished;
        switch (o.kind) {
        case Outcome::Written:
            result.written.push_back(o.target);
            break;
        case Outcome::Failed:
            result.failed.push_back({o.title, o.reason});
            break;
        case Outcome::Kept:
            result.kept.push_back(o.target);
            break;
        case Outcome::Cancelled:
            break;
        }
    };
    // Runs on this thread only, as the host belongs to it: takes in what the workers finished,
    // shows the progress and hears a Cancel, waiting a little for `ready` in between.
    auto pump = [&](const std::function<bool()>& ready) {
        for (;;) {
            std::vector<Outcome> arrived;
            std::string now;
            bool done;
            {
                std::unique_lock held(lock);
                changed.wait_for(held, std::chrono::milliseconds(100),
                                 [&] { return !outcomes.empty() || ready(); });
                arrived.swap(outcomes);
                now = rendering;
                done = ready();
            }
            for (auto& o : arrived)
                take(o);
            int percent = total ? int(finished * 100 / total) : 100;
            std::string what = std::min(finished + 1, total) <= total && !now.empty()
                                   ? now + " (" + std::to_string(std::min(finished + 1, total)) +
                                         " of " + std::to_string(total) + ")" +
                                         TimeLeft(Clock::now() - start, finished, total)
                                   : std::string();
            host_.Progress(percent, what);
            host_.ProcessEvents();
            if (host_.CancelRequested())
                cancel = true;
            if (done || cancel)
                return;
        }
    };

    std::vector<std::thread> threads;
    for (unsigned i = 0; i < workers; ++i)
        threads.emplace_back(work);
    // Whatever ends this function, the workers stop first: a failure below (the database, the
    // host) cancels what they were doing, and leaves no thread running on freed state.
    auto stopWorkers = [&](bool cancelling) {
        {
            std::lock_guard held(lock);
            if (cancelling) {
                cancel = true;
                queue.clear(); // never started: nothing of theirs is on the disk
            }
            noMore = true;
            changed.notify_all();
        }
    };
    struct JoinOnExit {
        std::vector<std::thread>& threads;
        std::function<void(bool)> stop;
        ~JoinOnExit() {
            if (threads.empty() || !threads.front().joinable())
                return;
            stop(true);
            for (auto& thread : threads)
                thread.join();
        }
    } joinOnExit{threads, stopWorkers};

    AudioFileNames names(dir, std::string(AudioExtension(settings.format)));
    std::size_t submitted = 0;
    std::set<int32_t> seen;
    for (int32_t key : masterKeys) {
        if (cancel)
            break;
        TitleRecord record;
        if (!seen.insert(key).second || !db_.ReadRecordByKey(key, record)) {
            --total; // passed over
            continue;
        }
        std::string title = record.title.empty() ? std::to_string(key) : record.title;
        Job job{title, {}, names.For(record.title, key), {}};
        job.options.settings = settings;
        job.options.cancel = &cancel;
        job.options.tags.title = record.title;
        job.options.tags.artist = record.artist;
        job.options.tags.album = album;
        if (album.empty()) {
            // The record holds only the first 20 bytes of the category's name.
            job.options.tags.album = categories_ ? categories_->NameOf(record.ck) : "";
            if (job.options.tags.album.empty())
                job.options.tags.album = record.categoryName;
        }
        job.options.tags.date = AudioTagDate(record.dateObtained);
        job.options.tags.comment = record.origin;

        if (fs::exists(job.target, ec)) {
            TModalResult answer = TModalResult::mrNo;
            if (existing == ExistingAudioFile::Replace)
                answer = TModalResult::mrYes;
            else if (existing == ExistingAudioFile::Ask)
                answer = host_.ShowMessage(
                    job.target.string() + " already exists.\\nDo you want to replace it?",
                    TMsgDlgType::mtWarning, 0, mbYes | mbNo | mbAll | mbCancel);
            if (answer == TModalResult::mrAll)
                existing = ExistingAudioFile::Replace;
            if (answer == TModalResult::mrCancel) {
                cancel = true;
                break;
            }
            if (answer != TModalResult::mrYes && answer != TModalResult::mrAll) {
                result.kept.push_back(job.target);
                --total;
                continue;
            }
            job.options.replace = true;
        }
        try {
            std::string stored;
            if (!db_.ReadStoredData(key, stored))
                throw std::runtime_error("it has no stored tune");
            job.midi = UnpackStoredTune(std::move(stored));
        } catch (const std::exception& e) {
            result.failed.push_back(
                {title, std::string("its stored tune is damaged: ") + e.what()});
            --total;
            continue;
        }
        // A few titles wait ahead of the workers, never all of them: memory stays the same
        // however many titles are exported.
        pump([&] { return queue.size() < workers; });
        if (cancel)
            break;
        std::lock_guard held(lock);
        queue.push_back(std::move(job));
        ++submitted;
        changed.notify_all();
    }
    stopWorkers(cancel);
    while (finished < submitted && !cancel)
        pump([&] { return finished + outcomes.size() >= submitted; });
    for (auto& thread : threads)
        thread.join();
    for (auto& o : outcomes)
        take(o);
    result.cancelled = cancel;
    host_.Progress(100, {});
    return result;
}

} // namespace tunquil
