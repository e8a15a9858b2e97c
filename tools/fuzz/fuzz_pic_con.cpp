// libFuzzer target: the PIC windows' ".CON" settings record. Whatever the
// file holds, the options stay inside their controls, the record written
// from them keeps its eight characters and reads back as the same options.
#include "families/pic/PicSettings.h"

#include <cstdlib>
#include <string_view>

using namespace pontvex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const pic::ConfigOptions o = pic::readSettingsRecord(file);
    if (o.oscillator < 0 || o.oscillator > 3)
        std::abort();
    const std::string record = pic::settingsRecord(o, file.substr(file.size() > 4 ? 4 : file.size()));
    if (record.size() != 8)
        std::abort();
    const pic::ConfigOptions back = pic::readSettingsRecord(record);
    if (back.protect != o.protect || back.watchdog != o.watchdog || back.powerUpTimer != o.powerUpTimer ||
        back.oscillator != o.oscillator)
        std::abort();
    if (pic::configWord(back) != pic::configWord(o) || (pic::configWord(o) & ~0x1F) != 0)
        std::abort();
    return 0;
}
