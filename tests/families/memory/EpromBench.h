#pragma once

#include "boxsim/Box.h"
#include "boxsim/SimTransport.h"
#include "boxsim/chips/Eprom27.h"
#include "boxsim/chips/Registry.h"
#include "catalogue/HeadlessHost.h"
#include "core/DeviceBuffer.h"
#include "families/memory/EpromWindow.h"
#include "families/memory/TP27sfx.h"
#include "families/memory/TP27x.h"
#include "families/memory/TPW27x.h"
#include "link/ProgrammerLink.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace pontvex::eprom_test {

// Passes bytes to the simulated box and keeps a copy of what was sent.
class RecordingSim : public Transport {
public:
    RecordingSim(std::unique_ptr<Transport> inner, std::shared_ptr<std::vector<uint8_t>> log)
        : inner_(std::move(inner)), log_(std::move(log))
    {
    }
    size_t write(const uint8_t* data, size_t n) override
    {
        log_->insert(log_->end(), data, data + n);
        return inner_->write(data, n);
    }
    size_t read(uint8_t* data, size_t n, int timeoutMs) override { return inner_->read(data, n, timeoutMs); }
    void purge() override { inner_->purge(); }

private:
    std::unique_ptr<Transport> inner_;
    std::shared_ptr<std::vector<uint8_t>> log_;
};

// A box simulator with one 27-series chip in the socket, a link attached to
// it, a headless host, and the chip's family window with the chip selected.
struct Bench {
    Bench(const std::string& key, int variant, const std::string& chipName)
    {
        box->insertChip(boxsim::makeChipModel(chipName));
        chip = dynamic_cast<boxsim::Eprom27*>(box->chip());
        link.setPrompt(&host.script());
        EXPECT_TRUE(link.AttachTransport(
            std::make_unique<RecordingSim>(std::make_unique<boxsim::SimTransport>(box), sent), "SIM"));
        host.hexView = true;
        if (key == "P27")
            window = std::make_unique<TP27x>(link, host);
        else if (key == "PW27")
            window = std::make_unique<TPW27x>(link, host);
        else
            window = std::make_unique<TP27sfx>(link, host);
        ChipSelection selection;
        selection.AlgorithmKey = key;
        selection.VariantIndex = variant;
        selection.ChipName = chipName;
        window->SelectChip(selection);
    }

    EpromWindow& w() { return *window; }
    DeviceBuffer& buffer() { return DeviceBuffer::instance(); }
    uint32_t size() const { return chip->type().size; }

    void press(const std::string& which)
    {
        box->clearProblems();
        ASSERT_TRUE(window->press(which)) << which;
    }

    // BufferStart, ChipStart and LastAddress as a user types them.
    void fields(uint32_t bufferStart, uint32_t chipStart, uint32_t lastAddress)
    {
        window->editField("buffer-start", hex(bufferStart));
        window->editField("chip-start", hex(chipStart));
        window->editField("length", hex(lastAddress));
    }
    static std::string hex(uint32_t v, const char* pattern = "%x")
    {
        char text[16];
        std::snprintf(text, sizeof text, pattern, v);
        return text;
    }

    // The socket after a command: no Vpp route, Vpp level 0, no Vcc switched.
    void expectIdle()
    {
        EXPECT_TRUE(box->vppRoutedPins().empty());
        EXPECT_EQ(box->vppCode(), 0);
        EXPECT_TRUE(box->vccRoutedPins().empty());
        EXPECT_EQ(box->clockPin(), 0);
    }

    // Bytes sent since the last take().
    std::vector<uint8_t> take()
    {
        link.Flush();
        std::vector<uint8_t> out = *sent;
        sent->clear();
        return out;
    }

    std::shared_ptr<std::vector<uint8_t>> sent = std::make_shared<std::vector<uint8_t>>();
    std::shared_ptr<boxsim::Box> box = std::make_shared<boxsim::Box>();
    boxsim::Eprom27* chip = nullptr;
    ProgrammerLink link;
    HeadlessHost host;
    std::unique_ptr<EpromWindow> window;
};

inline std::vector<uint8_t> randomBytes(size_t n, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

} // namespace pontvex::eprom_test
