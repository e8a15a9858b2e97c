#include "boxsim/chips/LpcSerialSlave.h"

namespace pontvex::boxsim {

void LpcSerialSlave::reset(ChipIo& io)
{
    shift_ = 0;
    count_ = 0;
    serving_ = false;
    if (driving_) {
        io.release(data_);
        driving_ = false;
    }
}

void LpcSerialSlave::serve(uint8_t value)
{
    shift_ = value;
    count_ = 0;
    serving_ = true;
}

std::optional<uint8_t> LpcSerialSlave::onPins(ChipIo& io)
{
    if (io.fell(clock_) && serving_) {
        io.drive(data_, (shift_ >> count_) & 1);
        driving_ = true;
        return std::nullopt;
    }
    if (!io.rose(clock_)) {
        return std::nullopt;
    }
    if (serving_) {
        if (++count_ == 8) {
            serving_ = false;
            count_ = 0;
            shift_ = 0;
            io.release(data_);
            driving_ = false;
        }
        return std::nullopt;
    }
    if (io.pin(data_).level) {
        shift_ = static_cast<uint8_t>(shift_ | (1 << count_));
    }
    if (++count_ < 8) {
        return std::nullopt;
    }
    const uint8_t value = shift_;
    shift_ = 0;
    count_ = 0;
    return value;
}

} // namespace pontvex::boxsim
