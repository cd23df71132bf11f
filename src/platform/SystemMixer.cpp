#include "platform/SystemMixer.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <pulse/pulseaudio.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tunquil::platform {

namespace {

// The default sink by the server's own alias, so that a change of default sink is followed
// without asking for its name first.
constexpr const char* kDefaultSink = "@DEFAULT_SINK@";

uint32_t ToMixerVolume(pa_volume_t v) {
    uint64_t scaled = (uint64_t(v) * kMixerFullVolume + PA_VOLUME_NORM / 2) / PA_VOLUME_NORM;
    return uint32_t(std::min<uint64_t>(scaled, kMixerFullVolume));
}

pa_volume_t ToServerVolume(uint32_t v) {
    v = std::min(v, kMixerFullVolume);
    return pa_volume_t((uint64_t(v) * PA_VOLUME_NORM + kMixerFullVolume / 2) / kMixerFullVolume);
}

bool IsLeft(pa_channel_position_t p) {
    return p == PA_CHANNEL_POSITION_FRONT_LEFT || p == PA_CHANNEL_POSITION_REAR_LEFT ||
           p == PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER || p == PA_CHANNEL_POSITION_SIDE_LEFT ||
           p == PA_CHANNEL_POSITION_TOP_FRONT_LEFT || p == PA_CHANNEL_POSITION_TOP_REAR_LEFT;
}

bool IsRight(pa_channel_position_t p) {
    return p == PA_CHANNEL_POSITION_FRONT_RIGHT || p == PA_CHANNEL_POSITION_REAR_RIGHT ||
           p == PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER || p == PA_CHANNEL_POSITION_SIDE_RIGHT ||
           p == PA_CHANNEL_POSITION_TOP_FRONT_RIGHT || p == PA_CHANNEL_POSITION_TOP_REAR_RIGHT;
}

// Waits, with the loop locked, until an operation has finished.
void Await(pa_threaded_mainloop* loop, pa_operation* op) {
    if (!op)
        return;
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING)
        pa_threaded_mainloop_wait(loop);
    pa_operation_unref(op);
}

} // namespace

struct SystemMixer::Sink {
    bool found = false;
    pa_cvolume volume{};
    pa_channel_map map{};
    bool mute = false;
    pa_threaded_mainloop* loop = nullptr;
};

SystemMixer::SystemMixer(std::shared_ptr<SynthesizerMix> synthesizer)
    : synthesizer_(std::move(synthesizer)) {}

SystemMixer::~SystemMixer() {
    Close();
}

uint32_t SystemMixer::Open() {
    if (context_)
        return kMixerOk;
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return kMixerNoDriver;
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Tunquil mixer");
    pa_context_set_state_callback(
        context_,
        [](pa_context*, void* loop) {
            pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
        },
        loop_);
    pa_threaded_mainloop_lock(loop_);
    bool ready = false;
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
        pa_threaded_mainloop_start(loop_) >= 0) {
        for (;;) {
            auto state = pa_context_get_state(context_);
            if (state == PA_CONTEXT_READY) {
                ready = true;
                break;
            }
            if (!PA_CONTEXT_IS_GOOD(state))
                break;
            pa_threaded_mainloop_wait(loop_);
        }
    }
    if (ready) {
        pa_context_set_subscribe_callback(
            context_,
            [](pa_context*, pa_subscription_event_type_t type, uint32_t, void* self) {
                auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
                // A change of the default sink arrives as a server event.
                if (facility == PA_SUBSCRIPTION_EVENT_SINK ||
                    facility == PA_SUBSCRIPTION_EVENT_SERVER) {
                    static_cast<SystemMixer*>(self)->Notify(kSpeakerVolumeControl);
                    static_cast<SystemMixer*>(self)->Notify(kSpeakerMuteControl);
                }
            },
            this);
        Await(loop_,
              pa_context_subscribe(
                  context_,
                  pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER),
                  [](pa_context*, int, void* loop) {
                      pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
                  },
                  loop_));
        const char* name = pa_context_get_server(context_);
        serverName_ = name ? name : "";
    }
    pa_threaded_mainloop_unlock(loop_);
    if (!ready) {
        Close();
        return kMixerNoDriver;
    }
    Sink sink;
    if (ReadSink(sink) == kMixerOk)
        sinkChannels_ = std::min<uint32_t>(sink.volume.channels, 2);
    return kMixerOk;
}

void SystemMixer::Close() {
    if (loop_)
        pa_threaded_mainloop_stop(loop_);
    if (context_) {
        pa_context_disconnect(context_);
        pa_context_unref(context_);
    }
    context_ = nullptr;
    if (loop_)
        pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
}

std::string SystemMixer::ProductName() const {
    return "Sound server";
}

uint32_t SystemMixer::ReadSink(Sink& sink) {
    if (!context_)
        return kMixerNoDriver;
    sink.loop = loop_;
    pa_threaded_mainloop_lock(loop_);
    Await(loop_, pa_context_get_sink_info_by_name(
                     context_, kDefaultSink,
                     [](pa_context*, const pa_sink_info* info, int eol, void* data) {
                         auto* sink = static_cast<Sink*>(data);
                         if (eol == 0 && info) {
                             sink->found = true;
                             sink->volume = info->volume;
                             sink->map = info->channel_map;
                             sink->mute = info->mute != 0;
                         }
                         pa_threaded_mainloop_signal(sink->loop, 0);
                     },
                     &sink));
    pa_threaded_mainloop_unlock(loop_);
    return sink.found ? kMixerOk : kMixerInvalidLine;
}

uint32_t SystemMixer::FindControl(MixerLine line, MixerControlType type, MixerControl& control) {
    control = {};
    if (line == MixerLine::Synthesizer) {
        if (!synthesizer_)
            return kMixerInvalidLine;
        if (type == MixerControlType::Volume)
            control = {kSynthVolumeControl, 2, false, 0, kMixerFullVolume};
        else if (type == MixerControlType::Mute)
            control = {kSynthMuteControl, 1, true, 0, 1};
        else
            return kMixerInvalidControl;
        return kMixerOk;
    }
    if (!context_)
        return kMixerInvalidLine;
    if (type == MixerControlType::Volume)
        control = {kSpeakerVolumeControl, sinkChannels_, false, 0, kMixerFullVolume};
    else if (type == MixerControlType::Mute)
        control = {kSpeakerMuteControl, 1, true, 0, 1};
    else
        return kMixerInvalidControl;
    return kMixerOk;
}

uint32_t SystemMixer::GetValues(uint32_t controlId, std::vector<uint32_t>& values) {
    switch (controlId) {
    case kSynthVolumeControl:
        values = {synthesizer_->Left(), synthesizer_->Right()};
        return kMixerOk;
    case kSynthMuteControl:
        values = {synthesizer_->Muted() ? 1u : 0u};
        return kMixerOk;
    case kSpeakerVolumeControl:
    case kSpeakerMuteControl: {
        Sink sink;
        if (uint32_t error = ReadSink(sink))
            return error;
        if (controlId == kSpeakerMuteControl) {
            values = {sink.mute ? 1u : 0u};
            return kMixerOk;
        }
        if (sinkChannels_ == 1) {
            values = {ToMixerVolume(pa_cvolume_max(&sink.volume))};
            return kMixerOk;
        }
        pa_volume_t left = 0, right = 0;
        for (unsigned i = 0; i < sink.volume.channels && i < sink.map.channels; ++i) {
            auto position = sink.map.map[i];
            if (IsLeft(position))
                left = std::max(left, sink.volume.values[i]);
            else if (IsRight(position))
                right = std::max(right, sink.volume.values[i]);
        }
        if (!pa_channel_map_can_balance(&sink.map))
            left = right = pa_cvolume_max(&sink.volume);
        values = {ToMixerVolume(left), ToMixerVolume(right)};
        return kMixerOk;
    }
    default:
        return kMixerInvalidControl;
    }
}

uint32_t SystemMixer::SetValues(uint32_t controlId, const std::vector<uint32_t>& values) {
    if (values.empty())
        return kMixerInvalidValue;
    uint32_t left = values[0];
    uint32_t right = values.size() > 1 ? values[1] : values[0];
    switch (controlId) {
    case kSynthVolumeControl:
        synthesizer_->SetVolume(left, right);
        return kMixerOk;
    case kSynthMuteControl:
        synthesizer_->SetMuted(left != 0);
        return kMixerOk;
    case kSpeakerVolumeControl:
    case kSpeakerMuteControl: {
        Sink sink;
        if (uint32_t error = ReadSink(sink))
            return error;
        pa_threaded_mainloop_lock(loop_);
        auto done = [](pa_context*, int, void* loop) {
            pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
        };
        if (controlId == kSpeakerMuteControl) {
            Await(loop_,
                  pa_context_set_sink_mute_by_name(context_, kDefaultSink, left != 0, done, loop_));
        } else {
            pa_cvolume volume = sink.volume;
            for (unsigned i = 0; i < volume.channels && i < sink.map.channels; ++i) {
                auto position = sink.map.map[i];
                uint32_t v = IsLeft(position)    ? left
                             : IsRight(position) ? right
                                                 : std::max(left, right);
                volume.values[i] = ToServerVolume(v);
            }
            Await(loop_,
                  pa_context_set_sink_volume_by_name(context_, kDefaultSink, &volume, done, loop_));
        }
        pa_threaded_mainloop_unlock(loop_);
        return kMixerOk;
    }
    default:
        return kMixerInvalidControl;
    }
}

void SystemMixer::SetChangeNotice(std::function<void(uint32_t)> notice) {
    std::lock_guard lock(noticeMutex_);
    notice_ = std::move(notice);
}

void SystemMixer::Notify(uint32_t controlId) {
    std::lock_guard lock(noticeMutex_);
    if (notice_)
        notice_(controlId);
}

VolumeControlProgram FindVolumeControlProgram() {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty())
            continue;
        auto candidate = std::filesystem::path(dir) / "pavucontrol";
        if (::access(candidate.c_str(), X_OK) == 0)
            return {candidate.string(), "pavucontrol"};
    }
    return {};
}

bool StartVolumeControlProgram(const VolumeControlProgram& program) {
    if (program.command.empty())
        return false;
    // A double fork, so that the program outlives us and leaves no zombie behind.
    pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::setsid();
        pid_t grandchild = 0;
        char* argv[] = {const_cast<char*>(program.command.c_str()), nullptr};
        int rc = posix_spawn(&grandchild, program.command.c_str(), nullptr, nullptr, argv, environ);
        ::_exit(rc == 0 ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace tunquil::platform
