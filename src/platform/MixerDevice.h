#pragma once
// The mixer device: lines found by kind, controls found by type on a line with their bounds,
// per-channel values, and notices of changes made outside the program. Every call answers 0 or
// one of the error numbers below, which the mixer component turns into its messages.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tunquil::platform {

enum MixerError : uint32_t {
    kMixerOk = 0,
    kMixerUnspecified = 1,
    kMixerNoDriver = 6,
    kMixerNotSupported = 8,
    kMixerInvalidLine = 1024,
    kMixerInvalidControl = 1025,
    kMixerInvalidValue = 1026,
};

// The speaker line is the destination everything is heard through; the synthesizer line is the
// source that carries our own synthesizer into it.
enum class MixerLine { Speakers, Synthesizer };
enum class MixerControlType { Volume, Mute, Treble, Bass };

struct MixerControl {
    uint32_t id = 0;
    uint32_t channels = 1; // of its line; 1 when the control is uniform
    bool uniform = false;
    uint32_t minimum = 0;
    uint32_t maximum = 0;
};

class IMixerDevice {
public:
    virtual ~IMixerDevice() = default;

    virtual uint32_t Open() = 0;
    virtual void Close() = 0;
    virtual std::string ProductName() const = 0;
    // kMixerInvalidLine when the mixer has no such line, kMixerInvalidControl when the line has
    // no such control.
    virtual uint32_t FindControl(MixerLine line, MixerControlType type, MixerControl& control) = 0;
    // One value per channel of the control.
    virtual uint32_t GetValues(uint32_t controlId, std::vector<uint32_t>& values) = 0;
    virtual uint32_t SetValues(uint32_t controlId, const std::vector<uint32_t>& values) = 0;
    // Called when a control may have changed outside the program, on whatever thread the device
    // learns of it. The receiver must not call back into the device from inside the notice: it
    // hands the notice over to its own thread and reads the values there.
    virtual void SetChangeNotice(std::function<void(uint32_t controlId)> notice) = 0;
};

// The desktop's own volume control program, started when our window cannot be used.
struct VolumeControlProgram {
    std::string command; // empty when none is installed
    std::string name;
};
VolumeControlProgram FindVolumeControlProgram();
// Starts it detached; false when it could not be started.
bool StartVolumeControlProgram(const VolumeControlProgram& program);

} // namespace tunquil::platform
