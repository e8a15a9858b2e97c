#pragma once

#include "boxsim/ChipModel.h"

#include <set>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// Electrically erasable GAL16V8/GAL20V8 in edit mode: the programming
// voltage on pin 2 turns the pins into row address RAG0..5, SCLK, SDIN,
// /STR, SDOUT and P,/V. Rows: 0..N-1 the AND array (64 bits each, N = 32 or
// 40 product-term columns), N the electronic signature (64 bits, readable
// whatever the security cell), 60 the architecture row (82 bits: XOR, AC0,
// AC1, product-term disables, SYN), 61 the security cell, 63 bulk erase.
class GalChip : public ChipModel {
public:
    struct Part {
        std::string name;
        bool twentyFour;      // GAL20V8 package
        int minVppMillivolts; // edit mode needs at least this on pin 2
        int maxVppMillivolts; // above it the chip is damaged
    };
    explicit GalChip(Part part);

    std::string name() const override { return part_.name; }
    int pinCount() const override { return part_.twentyFour ? 24 : 20; }
    int vccPin() const override { return part_.twentyFour ? 24 : 20; }
    int gndPin() const override { return part_.twentyFour ? 12 : 10; }
    int maxMillivolts(int chipPin) const override;
    void onPins(ChipIo& io) override;

    // "fuses": the whole map in JEDEC fuse order, one byte 0/1 per fuse
    // (array, then XOR/UES/AC1/PTD/SYN/AC0 from fuse rows x 64); "security": 1
    // byte, 1 when secured.
    std::vector<MemoryInfo> memories() const override;
    std::vector<uint8_t> readMemory(const std::string& name) const override;
    bool writeMemory(const std::string& name, std::span<const uint8_t> bytes) override;

    int rows() const { return part_.twentyFour ? 40 : 32; }
    int base() const { return rows() * 64; }
    int fuseCount() const { return base() + 146; }
    // Knobs: a fuse (JEDEC number) that stays 1 whatever is programmed, a
    // secured chip.
    void addStuckFuse(int fuse) { stuck_.insert(fuse); }
    void setSecured(bool secured) { secured_ = secured; }
    bool secured() const { return secured_; }
    int programmedRows() const { return programmedRows_; }

private:
    struct Pins {
        int rag[6];
        int sclk, sdin, strobe, sdout, pv;
    };
    const Pins& pins() const;
    bool editMode(ChipIo& io) const;
    int rowAddress(ChipIo& io) const;
    // Fuse number of bit k of row a; -1 where the row has no such bit.
    int fuseOf(int a, int k) const;
    int rowBits(int a) const;
    void program(ChipIo& io, int a);
    void load(int a);

    Part part_;
    std::vector<uint8_t> fuses_;
    std::set<int> stuck_;
    bool secured_ = false;
    std::vector<uint8_t> shift_;  // bits clocked in since the last strobe
    std::vector<uint8_t> output_; // a loaded row, shifted out on SDOUT
    size_t outIndex_ = 0;
    SimTime strobeFell_ = -1;
    int programmedRows_ = 0;
};

} // namespace pontvex::boxsim
