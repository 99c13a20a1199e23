// The instrument's boot code, which takes a new application firmware image. The device command
// 0xD00D (the switch) is answered by the application; the instrument then hears nothing for the
// switch silence and comes back in its boot code: Report Slave ID answers run indicator 0 with the
// boot code's own firmware revision, register map version and packet size. The boot code takes the
// image as file 65000, by the file command registers 49150-49153 and function 101 when its register
// map version is below 3, by function 102 and function 101 from 3 on. It checks every block as it
// comes: the block at offset 0 must begin with the image header (for this device type and hardware
// version, announcing the size being sent), text images come in whole hex records each ending with
// its line feed, binary images as the header record alone and then blocks of multiples of 48 bytes;
// a block it cannot take is refused with InvalidFileBlock (0x8A). The first block erases the
// application (and takes the erase time). Once the whole image is stored (the closing command 0 or
// the return to idle) the boot code answers that request and restarts: silent for the reboot
// silence, then the application answers with the image's firmware version.
//
// On request it misbehaves: it ignores the switch (the application comes back), never answers,
// refuses the setup or the first block, stalls at a block (hangs: no answer to anything until the
// instrument is power-cycled) or stays in the boot code after a good image.
//
// Every member is safe from any thread.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "tools/probe-sim/FileCommandRegisters.h"
#include "tools/probe-sim/FileStore.h"
#include "tools/probe-sim/FileTransfer.h"
#include "tools/probe-sim/FirmwareImage.h"
#include "tools/probe-sim/FrameReceiver.h"
#include "tools/probe-sim/InstrumentConfig.h"
#include "tools/probe-sim/RegisterModel.h"
#include "tools/probe-sim/Reply.h"
#include "tools/probe-sim/SlaveIdentity.h"

namespace probesim
{

enum class BootPhase
{
    Application, // the application firmware answers
    Switching,   // deaf: restarting into the boot code
    BootCode,    // the boot code answers
    Rebooting,   // deaf: restarting into the application
    Hung,        // deaf until power-cycled
};

const char* Describe(BootPhase phase);

struct BootBlock
{
    uint32_t offset = 0;
    size_t length = 0;

    friend bool operator==(const BootBlock&, const BootBlock&) = default;
};

class BootCode
{
public:
    struct Instrument
    {
        std::function<SlaveIdentity()> identity; // the application's
        // The application runs again: with a new firmware version after an image, unchanged after a
        // switch that was ignored or a power cycle.
        std::function<void(std::optional<uint16_t> firmwareVersion)> applicationStarted;
    };

    BootCode(const BootCodeConfig& config, Instrument instrument);
    BootCode(const BootCode&) = delete;
    BootCode& operator=(const BootCode&) = delete;

    const BootCodeConfig& Config() const { return m_config; }

    // Misbehaviour on request; each stays until changed.
    void IgnoreSwitch(bool on = true);
    void NeverAnswer(bool on = true); // after the switch the boot code stays deaf
    // While held, a switch does not end: the instrument stays deaf in it. Let go, the switch ends
    // at the end of its silence, or at once when that has passed.
    void HoldSwitch(bool on = true);
    // From the n-th block request (1-based, counted since the boot code started) on it hangs.
    void StallAtBlock(std::optional<unsigned> number);

    // Into the boot code at once, as if switched and waited for.
    void Enter();

    BootPhase Phase();              // time alone moves the phase on, so a look at it does too
    bool ApplicationIntact() const; // false from the first block of an image until it is whole
    unsigned ImagesTaken() const;
    std::optional<std::vector<uint8_t>> LastImage() const;
    std::vector<BootBlock> Blocks() const;          // taken since the boot code started
    std::optional<std::string> LastRefusal() const; // why the last block or image was refused

    // The instrument's side.
    void Switch(); // the application took the switch command
    // nullopt when a frame that began at `at` is heard by whichever firmware runs, else why not.
    std::optional<std::string> Intercept(Clock::time_point at);
    bool Running() const; // the boot code answers requests
    Reply Handle(const Adu& request, FramingMode mode);

private:
    // What a change of phase asks of the world outside the lock.
    struct Events
    {
        bool bootStarted = false;
        bool applicationStarted = false;
        std::optional<uint16_t> firmwareVersion;
    };

    Events AdvanceLocked(Clock::time_point now);
    Events StartBootLocked();
    void Fire(const Events& events);
    std::optional<ExceptionCode> CheckSetup(uint16_t command, uint16_t file);
    std::optional<std::string> CheckBlock(uint32_t offset, std::span<const uint8_t> bytes,
                                          uint32_t announced);
    Reply WriteBlock(const Adu& request, FramingMode mode);
    void ImageStored(const std::vector<uint8_t>& image);

    const BootCodeConfig m_config;
    const Instrument m_instrument;
    RegisterModel m_registers; // the file command registers, below register map version 3
    FileStore m_files;
    FileTransfer m_transfer;
    FileCommandRegisters m_fileRegisters;

    mutable std::mutex m_mutex;
    BootPhase m_phase = BootPhase::Application;
    Clock::time_point m_until;
    std::optional<uint16_t> m_nextFirmware; // of the image being restarted into
    bool m_ignoreSwitch = false;
    bool m_neverAnswer = false;
    bool m_holdSwitch = false;
    std::optional<unsigned> m_stallAt;
    bool m_applicationIntact = true;
    unsigned m_blockRequests = 0;
    std::optional<ImageHeader> m_header; // of the image coming in
    std::vector<BootBlock> m_blocks;
    unsigned m_images = 0;
    std::optional<std::vector<uint8_t>> m_lastImage;
    std::optional<std::string> m_refusal;
};

} // namespace probesim
