#pragma once
// The mixer of this system: the synthesizer line is our own synthesizer (its SynthesizerMix),
// the speaker line is the sound server's default sink, reached through libpulse on a thread of
// its own. The sink's volume and mute change events are the change notices. There is no treble
// or bass control on either line.

#include "platform/MixerDevice.h"
#include "platform/SynthesizerMix.h"

#include <memory>
#include <mutex>

typedef struct pa_threaded_mainloop pa_threaded_mainloop;
typedef struct pa_context pa_context;

namespace tunquil::platform {

// The control identifiers; stable, so that a notice names a control whatever opened it.
enum : uint32_t {
    kSynthVolumeControl = 1,
    kSynthMuteControl = 2,
    kSpeakerVolumeControl = 3,
    kSpeakerMuteControl = 4,
};

// Volumes are 0..65535 on both lines; the sound server's 100 % is 65535.
constexpr uint32_t kMixerFullVolume = 65535;

class SystemMixer final : public IMixerDevice {
public:
    explicit SystemMixer(std::shared_ptr<SynthesizerMix> synthesizer);
    ~SystemMixer() override;
    SystemMixer(const SystemMixer&) = delete;
    SystemMixer& operator=(const SystemMixer&) = delete;

    uint32_t Open() override;
    void Close() override;
    std::string ProductName() const override;
    uint32_t FindControl(MixerLine line, MixerControlType type, MixerControl& control) override;
    uint32_t GetValues(uint32_t controlId, std::vector<uint32_t>& values) override;
    uint32_t SetValues(uint32_t controlId, const std::vector<uint32_t>& values) override;
    void SetChangeNotice(std::function<void(uint32_t controlId)> notice) override;

private:
    struct Sink;
    // Reads the default sink: kMixerNoDriver without a server, kMixerInvalidLine without a sink.
    uint32_t ReadSink(Sink& sink);
    void Notify(uint32_t controlId);

    std::shared_ptr<SynthesizerMix> synthesizer_;
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    uint32_t sinkChannels_ = 2;
    std::string serverName_;
    std::mutex noticeMutex_;
    std::function<void(uint32_t)> notice_;
};

} // namespace tunquil::platform
