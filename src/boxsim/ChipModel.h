#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pontvex::boxsim {

class Box;

// Virtual time on the socket, in byte times of the line (one unit = one 11-bit
// frame at 115200 baud, 95.49 us). Fractions appear only where an adapter's
// latency is modelled; everything the box does happens on whole units.
using SimTime = double;

// Who decides a pin's level, strongest first in the pin rule (see PinRule.cpp).
enum class PinSource : uint8_t {
    Ground,   // ground switch
    Vpp,      // Vpp switch (level code in PinLevel::vppCode)
    Vcc,      // Vcc switch (normal or raised)
    Stuck,    // injected fault: line stuck at a level
    Firmware, // a firmware command holds the pin while it runs
    Sink,     // driver on with pin latch 0
    Chip,     // the chip in the socket drives it
    Clock,    // the box's oscillator is routed to it
    Port,     // port latch bit (weak)
    Pullup,   // nobody drives it: reads 1
};

const char* pinSourceName(PinSource source);

// Level of one socket pin as the pin rule resolves it.
struct PinLevel {
    int level = 1; // logic level read back (supplies read 1, ground 0)
    PinSource source = PinSource::Pullup;
    int vppCode = 0;        // Vpp level code when source == Vpp (0 = about 5 V)
    bool vccRaised = false; // raised Vcc (6.2..6.9 V) when source == Vcc

    bool supplied() const { return source == PinSource::Vpp || source == PinSource::Vcc; }
    // Voltage on the pin: supplies by level, logic 1 = 5000, logic 0 = 0.
    int millivolts() const;
    bool operator==(const PinLevel&) const = default;
};

// Nominal voltage of a Vpp level code (the box makes one voltage per code;
// code 0 routed is a logic-level 5 V). Undefined codes count as the highest.
int vppCodeMillivolts(int code);

// The chip's view of the socket, in chip pin numbers (1..pinCount()).
// A model reads levels and drives its outputs only through this.
class ChipIo {
public:
    virtual ~ChipIo() = default;
    virtual SimTime now() const = 0;
    virtual PinLevel pin(int chipPin) const = 0;
    // Level the model saw at its previous notification (for edges).
    virtual PinLevel previous(int chipPin) const = 0;
    bool changed(int chipPin) const { return !(pin(chipPin) == previous(chipPin)); }
    bool rose(int chipPin) const { return previous(chipPin).level == 0 && pin(chipPin).level == 1; }
    bool fell(int chipPin) const { return previous(chipPin).level == 1 && pin(chipPin).level == 0; }
    // Vcc pin high and GND pin low, whatever drives them. Outputs of an
    // unpowered chip are ignored by the box.
    virtual bool powered() const = 0;
    // Powered with the Vcc pin on a Vcc switch (not just a logic high).
    virtual bool supplied() const = 0;
    // Push-pull output (level 0/1); release() makes the pin an input again.
    virtual void drive(int chipPin, int level) = 0;
    virtual void release(int chipPin) = 0;
    virtual void releaseAll() = 0;
    // A line in the trace, for debugging a model.
    virtual void note(const std::string& text) = 0;
    // Something the chip would not survive or a test must not pass with
    // (over-voltage, a program pulse out of its ratings): a recorded error.
    virtual void damage(const std::string& text) = 0;
    // Something suspicious but harmless: a recorded warning.
    virtual void warn(const std::string& text) = 0;
};

// One memory of a chip model.
struct MemoryInfo {
    std::string name;
    int wordBits = 8;
    uint32_t words = 0;
    std::string description; // one line for listings
    // False for a memory that forgets when its supply goes (a plain SRAM).
    bool keepsUnpowered = true;

    int wordBytes() const { return (wordBits + 7) / 8; }
    size_t byteSize() const { return static_cast<size_t>(words) * static_cast<size_t>(wordBytes()); }
};

// Checks an image against a memory's shape (see ChipModel::writeMemory).
bool fitsMemory(const MemoryInfo& memory, std::span<const uint8_t> bytes);

// One programmed cell that does not hold what is written (fault injection):
// reads give (value & ~mask) | (stuckBits & mask).
struct StuckCell {
    uint32_t address = 0;
    uint8_t mask = 0xFF;
    uint8_t stuckBits = 0x00;
};

// A chip in the socket. Pin numbers in the declarations are the chip's own.
class ChipModel {
public:
    virtual ~ChipModel() = default;

    virtual std::string name() const = 0;
    virtual int pinCount() const = 0;
    // Socket pin of chip pin 1. Chips sit at the lower end of the socket.
    virtual int firstSocketPin() const { return (40 - pinCount()) / 2 + 1; }
    virtual int vccPin() const = 0;
    virtual int gndPin() const = 0;
    // Highest voltage the chip takes on a pin (mV): its Vpp pins and A9-type
    // high-voltage inputs say so, everything else is a logic pin.
    virtual int maxMillivolts(int chipPin) const
    {
        (void)chipPin;
        return 7000;
    }
    // Some programming sequences cycle Vcc under Vpp on purpose; such chips
    // turn that monitor error into a warning.
    virtual bool toleratesVppWithoutVcc() const { return false; }

    // Called whenever a level on one of the chip's pins changed (and once when
    // the chip is inserted), after the box has applied a command; edges carry
    // io.now(). The model updates its outputs through io.
    virtual void onPins(ChipIo& io) = 0;
    // Called before the box samples pins, so self-timed outputs (busy flags,
    // toggle bits) can be brought up to io.now().
    virtual void beforeSample(ChipIo& io) { (void)io; }

    // Firmware commands (128 and up, except the page commands 136/146/150,
    // whose bytes the box writes as they arrive) are offered to the chip
    // first; family commands (160 and up) need it. reply has the command's
    // reply size, preset to 0xFF. Return false to leave the command to the
    // box's generic behaviour. The box's firmware helpers
    // (Box::firmwareWritePins, Box::samplePins, Box::advance, ...) are public
    // for this; time spent inside (Box::advance) keeps the box busy.
    // A model sees only pins and time: commands the box makes as pin levels
    // are not answered here, or a model would accept sequences the real chip
    // refuses. The one exception is a fast path for a slow pin path (the
    // EPROM blank check and sum): it must give the same replies, cells and
    // time as the pin path, fall back to it where it cannot, and a test must
    // run both and compare.
    virtual bool onCommand(Box& box, ChipIo& io, uint8_t command, std::span<const uint8_t> operands,
                           std::span<uint8_t> reply)
    {
        (void)box;
        (void)io;
        (void)command;
        (void)operands;
        (void)reply;
        return false;
    }

    // Named memories (code, data EEPROM, configuration word, ID locations,
    // lock and fuse bits, ...), the first being the main array. Each is a run
    // of words of wordBits bits; as bytes, every word takes wordBytes() bytes,
    // least significant first. --socket-image/--socket-dump and tests fill and
    // save them through these calls.
    virtual std::vector<MemoryInfo> memories() const { return {}; }
    // The contents of a memory as bytes; empty for an unknown name.
    virtual std::vector<uint8_t> readMemory(const std::string& name) const
    {
        (void)name;
        return {};
    }
    // Loads from word 0; a shorter image leaves the rest as it was. False for
    // an unknown name, an image longer than the memory, a partial word or a
    // word with bits above wordBits (nothing is changed then).
    virtual bool writeMemory(const std::string& name, std::span<const uint8_t> bytes)
    {
        (void)name;
        (void)bytes;
        return false;
    }
    // The memory of that name (case-blind), null when there is none.
    std::optional<MemoryInfo> findMemory(const std::string& name) const;

    // The main array.
    bool hasImage() const { return !memories().empty(); }
    std::vector<uint8_t> image() const;
    bool loadImage(std::span<const uint8_t> bytes);
    bool loadImage(const std::vector<uint8_t>& bytes) { return loadImage(std::span<const uint8_t>(bytes)); }

    // Fault injection: memory models pass every cell they output through
    // applyStuckCells().
    void addStuckCell(const StuckCell& cell) { stuckCells_.push_back(cell); }
    uint8_t applyStuckCells(uint32_t address, uint8_t value) const
    {
        for (const StuckCell& c : stuckCells_) {
            if (c.address == address) {
                value = static_cast<uint8_t>((value & ~c.mask) | (c.stuckBits & c.mask));
            }
        }
        return value;
    }

    // Chip pin <-> socket pin for this placement (0 when outside the chip).
    int socketPin(int chipPin) const
    {
        return chipPin >= 1 && chipPin <= pinCount() ? chipPin + firstSocketPin() - 1 : 0;
    }
    int chipPin(int socketPin) const
    {
        int k = socketPin - firstSocketPin() + 1;
        return k >= 1 && k <= pinCount() ? k : 0;
    }

private:
    std::vector<StuckCell> stuckCells_;
};

} // namespace pontvex::boxsim
