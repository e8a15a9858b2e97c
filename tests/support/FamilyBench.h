#pragma once

// The bench every family test runs on: a simulated box with a chip model in
// its socket, a link attached to it that keeps a copy of every byte sent, a
// headless host with its own buffer and an open hex view, and the family
// window the key names, made through the family registry with the chip
// selected.

#include "boxsim/Box.h"
#include "boxsim/SimTransport.h"
#include "boxsim/chips/Registry.h"
#include "catalogue/FamilyRegistry.h"
#include "catalogue/HeadlessHost.h"
#include "core/DeviceBuffer.h"
#include "families/Families.h"
#include "link/ProgrammerLink.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace pontvex {

// Passes bytes to the simulated box and keeps a copy of what was sent.
class CopyingTransport : public Transport {
public:
    CopyingTransport(std::unique_ptr<Transport> inner, std::shared_ptr<std::vector<uint8_t>> copy)
        : inner_(std::move(inner)), copy_(std::move(copy))
    {
    }
    size_t write(const uint8_t* data, size_t n) override
    {
        copy_->insert(copy_->end(), data, data + n);
        return inner_->write(data, n);
    }
    size_t read(uint8_t* data, size_t n, int timeoutMs) override { return inner_->read(data, n, timeoutMs); }
    void purge() override { inner_->purge(); }

private:
    std::unique_ptr<Transport> inner_;
    std::shared_ptr<std::vector<uint8_t>> copy_;
};

// What a bench may do differently from the usual one.
struct BenchSetup {
    std::array<uint8_t, 3> expectedSignature{0, 0, 0};
    // False: the socket stays empty.
    bool seated = true;
    // A model by name instead of the model of the selected row (a chip in
    // the socket that is not the chosen one).
    std::string model{};
    // The simulated line (an adapter's latency, the box's input buffer).
    boxsim::LineOptions line{};
    // The link's reply window; negative keeps the link's default.
    int replyWindow = -1;
    // How the user answers questions the script does not cover.
    bool answerYes = false;
    // Check the socket is idle after selecting the chip and after every press.
    bool checkIdle = true;
};

class FamilyBench {
public:
    FamilyBench(const std::string& key, int variant, const std::string& chipName, BenchSetup setup = {})
        : setup_(std::move(setup))
    {
        registerFamilies(families);
        if (setup_.seated) {
            auto model = setup_.model.empty() ? boxsim::makeChipForRow(key, variant, chipName)
                                              : boxsim::makeChipModel(setup_.model);
            EXPECT_TRUE(model) << "no chip model for " << key << " " << variant << " " << chipName << " "
                               << setup_.model;
            if (model)
                box->insertChip(std::move(model));
        }
        link.setSettingsPath("");
        link.setPrompt(&host.script());
        host.script().defaultAnswer = setup_.answerYes;
        auto sim = std::make_unique<boxsim::SimTransport>(box, setup_.line);
        simulator = sim.get();
        EXPECT_TRUE(link.AttachTransport(std::make_unique<CopyingTransport>(std::move(sim), sent), "SIM"));
        if (setup_.replyWindow >= 0)
            link.setReplyWindow(setup_.replyWindow);
        host.hexView = true;
        const FamilyFactory* factory = families.factory(key);
        if (!factory)
            throw std::logic_error("no family built for key " + key);
        window = (*factory)(link, host);
        ChipSelection selection;
        selection.AlgorithmKey = key;
        selection.VariantIndex = variant;
        selection.ChipName = chipName;
        selection.ExpectedSignature = setup_.expectedSignature;
        window->SelectChip(selection);
        if (setup_.checkIdle) {
            // Selecting a 20-pin 8051 powers the chip (Vcc on 30) and nothing more;
            // every other window leaves the socket idle.
            if (key == "P2051" || key == "P97C2051") {
                EXPECT_TRUE(box->vppRoutedPins().empty());
                EXPECT_FALSE(box->vccRaised());
            } else {
                expectIdle();
            }
        }
    }

    FamilyWindow& w() { return *window; }
    // The window as its family's class.
    template <class Window> Window& as()
    {
        auto* typed = dynamic_cast<Window*>(window.get());
        if (!typed)
            throw std::logic_error("the window is a " + window->className());
        return *typed;
    }
    DeviceBuffer& buffer() { return host.buffer(); }

    // The model in the socket (null when it is empty), its size, and the model as its own class.
    boxsim::ChipModel* chip() { return box->chip(); }
    uint32_t size() const { return static_cast<uint32_t>(box->chip()->image().size()); }
    template <class Model> Model& model()
    {
        auto* typed = dynamic_cast<Model*>(box->chip());
        if (!typed)
            throw std::logic_error("the socket holds no chip of the model's class");
        return *typed;
    }
    std::vector<uint8_t> chipImage() { return box->chip()->image(); }

    // Presses a control; the box's problems are those of this command only.
    void press(const std::string& which)
    {
        box->clearProblems();
        ASSERT_TRUE(window->press(which)) << which;
        if (setup_.checkIdle)
            expectIdle();
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

    // The socket between commands: no Vpp route, Vpp level 0, no Vcc, no clock.
    void expectIdle()
    {
        EXPECT_TRUE(box->vppRoutedPins().empty());
        EXPECT_EQ(box->vppCode(), 0);
        EXPECT_TRUE(box->vccRoutedPins().empty());
        EXPECT_EQ(box->clockPin(), 0);
        EXPECT_FALSE(box->vccRaised());
    }

    // Bytes sent since the last take().
    std::vector<uint8_t> take()
    {
        link.Flush();
        std::vector<uint8_t> out = *sent;
        sent->clear();
        return out;
    }

    FamilyRegistry families;
    std::shared_ptr<std::vector<uint8_t>> sent = std::make_shared<std::vector<uint8_t>>();
    std::shared_ptr<boxsim::Box> box = std::make_shared<boxsim::Box>();
    boxsim::SimTransport* simulator = nullptr; // owned by the link
    ProgrammerLink link;
    HeadlessHost host;
    std::unique_ptr<FamilyWindow> window;

private:
    BenchSetup setup_;
};

inline std::vector<uint8_t> randomBytes(size_t n, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(random());
    return bytes;
}

} // namespace pontvex
