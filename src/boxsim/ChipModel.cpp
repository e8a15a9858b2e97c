#include "boxsim/ChipModel.h"

#include "core/Text.h"

namespace pontvex::boxsim {

bool fitsMemory(const MemoryInfo& memory, std::span<const uint8_t> bytes)
{
    const size_t wordBytes = static_cast<size_t>(memory.wordBytes());
    if (bytes.size() > memory.byteSize() || bytes.size() % wordBytes != 0)
        return false;
    if (memory.wordBits % 8 == 0)
        return true;
    // The top byte of each word may not carry bits the cells do not have.
    const auto topMask = static_cast<uint8_t>(0xFF << (memory.wordBits % 8));
    for (size_t i = wordBytes - 1; i < bytes.size(); i += wordBytes)
        if (bytes[i] & topMask)
            return false;
    return true;
}

std::optional<MemoryInfo> ChipModel::findMemory(const std::string& name) const
{
    for (const MemoryInfo& m : memories())
        if (equalsIgnoreCase(m.name, name))
            return m;
    return std::nullopt;
}

std::vector<uint8_t> ChipModel::image() const
{
    const auto all = memories();
    return all.empty() ? std::vector<uint8_t>{} : readMemory(all.front().name);
}

bool ChipModel::loadImage(std::span<const uint8_t> bytes)
{
    const auto all = memories();
    return !all.empty() && writeMemory(all.front().name, bytes);
}

} // namespace pontvex::boxsim
