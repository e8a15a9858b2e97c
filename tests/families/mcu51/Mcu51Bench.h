#pragma once

#include "boxsim/Box.h"
#include "boxsim/SimTransport.h"
#include "boxsim/chips/Mcu51Chip.h"
#include "boxsim/chips/Registry.h"
#include "catalogue/Dispatch.h"
#include "catalogue/HeadlessHost.h"
#include "core/DeviceBuffer.h"
#include "link/ProgrammerLink.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace pontvex::mcu51_test {

// The simulator's transport, keeping a copy of every byte the program sends.
class TapTransport : public boxsim::SimTransport {
public:
    TapTransport(std::shared_ptr<boxsim::Box> box, std::shared_ptr<std::vector<uint8_t>> sent)
        : SimTransport(std::move(box)), sent_(std::move(sent))
    {
    }
    size_t write(const uint8_t* data, size_t n) override
    {
        const size_t done = SimTransport::write(data, n);
        sent_->insert(sent_->end(), data, data + done);
        return done;
    }

private:
    std::shared_ptr<std::vector<uint8_t>> sent_;
};

// A box simulator with an 8051 part in the socket (or none), a link on it, a
// headless host with an open hex view, and the family window the key names,
// created through the dispatch registry, with the chip selected.
struct Bench {
    Bench(const std::string& key, int variant, const std::string& chipName,
          std::array<uint8_t, 3> expected = {0, 0, 0}, bool seated = true)
    {
        if (seated)
            box->insertChip(boxsim::makeChipModel(chipName));
        link.setPrompt(&host.script());
        EXPECT_TRUE(link.AttachTransport(std::make_unique<TapTransport>(box, sent), "SIM"));
        host.hexView = true;
        std::vector<DispatchRow> table{{key.c_str(), "", {}}};
        registerBuiltFamilies(table);
        EXPECT_TRUE(table[0].factory) << key;
        window = table[0].factory(link, host);
        ChipSelection selection;
        selection.AlgorithmKey = key;
        selection.VariantIndex = variant;
        selection.ChipName = chipName;
        selection.ExpectedSignature = expected;
        sent->clear();
        window->SelectChip(selection);
        // Selecting (the 20-pin window powers the chip on it) leaves the socket idle too.
        expectIdle();
    }

    FamilyWindow& w() { return *window; }
    DeviceBuffer& buffer() { return DeviceBuffer::instance(); }
    boxsim::Mcu51Chip* chip40() { return dynamic_cast<boxsim::Mcu51Chip*>(box->chip()); }
    boxsim::Mcu2051Chip* chip20() { return dynamic_cast<boxsim::Mcu2051Chip*>(box->chip()); }
    std::vector<uint8_t> chipImage() { return box->chip()->image(); }

    void press(const std::string& which)
    {
        box->clearProblems();
        ASSERT_TRUE(window->press(which)) << which;
        expectIdle();
    }

    // The socket after every command: no Vpp route or level, no Vcc, no clock.
    void expectIdle()
    {
        EXPECT_TRUE(box->vppRoutedPins().empty());
        EXPECT_EQ(box->vppCode(), 0);
        EXPECT_TRUE(box->vccRoutedPins().empty());
        EXPECT_EQ(box->clockPin(), 0);
    }

    std::shared_ptr<boxsim::Box> box = std::make_shared<boxsim::Box>();
    // Every byte sent to the box since the chip was selected (SelectChip's own included).
    std::shared_ptr<std::vector<uint8_t>> sent = std::make_shared<std::vector<uint8_t>>();
    ProgrammerLink link;
    HeadlessHost host;
    std::unique_ptr<FamilyWindow> window;
};

inline std::vector<uint8_t> randomBytes(size_t n, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

} // namespace pontvex::mcu51_test
