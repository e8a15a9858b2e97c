#pragma once

// Texts of the PIC serial windows, byte for byte as the user sees them.

namespace pontvex::pictext {

inline constexpr const char* kConnected = "OK ";
inline constexpr const char* kNoLink = "Нет устр!";
inline constexpr const char* kDip40 = "Тип - DIP40";
inline constexpr const char* kDip28 = "Тип - DIP28";
inline constexpr const char* kDip18 = "Тип - DIP18";

inline constexpr const char* kBlanking = "Стирание...        ";
inline constexpr const char* kBlankOk = "ОК!  ";
inline constexpr const char* kConfigNotBlank = "控制字（CONFIG） 不空!";
inline constexpr const char* kError = "Ошибка!  ";
inline constexpr const char* kWriting = "Запись...";
inline constexpr const char* kWriteOk = "ОК! ";
inline constexpr const char* kNeedFile = "必须打开文件才能执行写操作！";
inline constexpr const char* kVerifying = "Срав...";
inline constexpr const char* kVerifyOk = "OK";
inline constexpr const char* kReading = "Считывание...        ";
inline constexpr const char* kReadOk = "Считывание ОК, КСумма=  %04x";
inline constexpr const char* kErasing = "Стираю...  ";
inline constexpr const char* kEraseOk = "ОК! ";
inline constexpr const char* kWritingConfig = "烧写控制位...";
inline constexpr const char* kConfigShown = "Конфг. = %04x";
inline constexpr const char* kNoRow = "Нет типа %d в таблице!";

inline constexpr const char* kOscGroup = "Режим Osc";
inline constexpr const char* kEraseGroup = "Режим стирания";
inline constexpr const char* kSpeedGroup = "Скорость мсек/байт";

} // namespace pontvex::pictext
