#pragma once

// The serial EEPROM windows' own texts, byte for byte (trailing blanks included).
namespace pontvex::serialtext {

inline constexpr const char* kConnected = "OK ";
inline constexpr const char* kNoDevice = "Нет устр!"; // two-wire window offline
inline constexpr const char* kNoLink93 = "Ош.соедн!"; // three-wire windows offline
inline constexpr const char* kNeedFileWrite = "必须打开文件才能执行写操作！";
inline constexpr const char* kNeedFileVerify = "必须打开文件才能执行操作！";

inline constexpr const char* kSpeedGroup = "Скорость мсек/байт";
inline constexpr const char* kSpeeds[6] = {"1 мсек/байт",  "2 мсек/байт",  "5 мсек/байт",
                                           "10 мсек/байт", "20 мсек/байт", "50 мсек/байт"};
// Milliseconds per byte of each speed item.
inline constexpr int kWriteCycle[6] = {1, 2, 5, 10, 20, 50};
inline constexpr int kDefaultSpeed = 2;

inline constexpr const char* kReading = "Считыв...";
inline constexpr const char* kReadOk = "Счит.ОК!        ";
inline constexpr const char* kWriting = "Запись...";
inline constexpr const char* kVerifyOk = "Сравн.ОК!";

// Two-wire window.
inline constexpr const char* kVerifying24 = "Запись...  ";
inline constexpr const char* kDiffers24 = "校对错误！";

// Three-wire windows.
inline constexpr const char* kErasing = "Стир...";
inline constexpr const char* kEraseOk = "OK";
inline constexpr const char* kNotErased = "不空!";
inline constexpr const char* kBlanking = "Провер...";
inline constexpr const char* kNotBlank = "Ошибка!  ";
inline constexpr const char* kBlankOk = "OK,空";
inline constexpr const char* kWriteOk = "ОК! ";
inline constexpr const char* kVerifying93 = "Срав...";
inline constexpr const char* kDiffers93 = "Ошибка при сравнении!           ";

} // namespace pontvex::serialtext
