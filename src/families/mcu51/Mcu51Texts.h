#pragma once

// Texts of the 8051 windows, byte for byte as the user sees them.

namespace pontvex::mcu51text {

inline constexpr const char* kVerifyDiff = "%04x:Ошиб! (Файл=%02x,Устр=%02x)";
inline constexpr const char* kSpeed1 = "1 мсек/байт";
inline constexpr const char* kSpeed2 = "2 мсек/байт";
inline constexpr const char* kSpeed3 = "3 мсек/байт";
inline constexpr const char* kSpeed4 = "4 мсек/байт";
inline constexpr const char* kSpeed6 = "6 мсек/байт";
inline constexpr const char* kLockBit1 = "Бит 1";
inline constexpr const char* kLockBit12 = "Бит 1,2";
inline constexpr const char* kLockBit123 = "Бит 1,2,3";
inline constexpr const char* kLockGroup = "Биты защиты";
inline constexpr const char* kDone15 = "Выполнено!               ";
inline constexpr const char* kDone17 = "Выполнено!                 ";
inline constexpr const char* kVerifying2051 = "Выполняется сравнение..";
inline constexpr const char* kExit = "Выход";
inline constexpr const char* kDetecting = "Детектирование КодИД...";
inline constexpr const char* kWriteCaption = "Записать";
inline constexpr const char* kWriting = "Запись...";
inline constexpr const char* kWriting2 = "Запись...  ";
inline constexpr const char* kLockCaption = "Защита";
inline constexpr const char* kLockDone = "Защита         ";
inline constexpr const char* kLocking = "Защт...";
inline constexpr const char* kLockOk = "Защт.ОК! ";
inline constexpr const char* kLockReadCaption = "Зщт.счит.";
inline constexpr const char* kIdCaption2051 = "Код ID";
inline constexpr const char* kIdCaption = "Код ИД";
inline constexpr const char* kIdText2 = "Код ИД =               %02x,%02x";
inline constexpr const char* kIdText3 = "Код ИД =               %02x,%02x,%02x";
inline constexpr const char* kAskIdFactory = "Код ИД не соответств. заводскому!!\nПродлж?";
inline constexpr const char* kAskIdMismatch = "Не соотв.Код ИД!\nПродлж?";
inline constexpr const char* kAskNoChip = "Нет микр! Продлж?";
inline constexpr const char* kAskNoChipLong = "Нет микр! Продолжать";
inline constexpr const char* kWriteEnd = "Нет пустой микросхемы в прогр! ";
inline constexpr const char* kOk1 = "ОК! ";
inline constexpr const char* kOk2 = "ОК!  ";
inline constexpr const char* kNoLink = "Ошб.соед!";
inline constexpr const char* kBlankFail = "Ошибка!  ";
inline constexpr const char* kSlower = "Пониженная";
inline constexpr const char* kBlanking = "Провер...";
inline constexpr const char* kBlankCaption = "Проверить";
inline constexpr const char* kSpeedGroup = "Скорость мсек/байт";
inline constexpr const char* kSpeedGroupWd = "Скорость обмена";
inline constexpr const char* kVerifyOk2051 = "Сравн.ОК!";
inline constexpr const char* kVerifying = "Сравнен... ";
inline constexpr const char* kVerifyCaption = "Сравнить";
inline constexpr const char* kStandard = "Стандартная";
inline constexpr const char* kEraseCaption = "Стереть";
inline constexpr const char* kErasingSst = "Стир...";
inline constexpr const char* kEraseOk2051 = "Стиран.ОК! ";
inline constexpr const char* kErasing = "Стирание...            ";
inline constexpr const char* kReadOk2051 = "Счит.ОК!        ";
inline constexpr const char* kReadCaption = "Считать";
inline constexpr const char* kReading = "Считыв...";
inline constexpr const char* kReading2051 = "Считывание...        ";
inline constexpr const char* kLockFailAscii = "加密失败!";
inline constexpr const char* kLockFail = "加密失败！";
inline constexpr const char* kNeedFile = "必须打开文件才能执行写操作！";
inline constexpr const char* kEraseFailWd = "擦除失败!需要重新操作。";
inline constexpr const char* kEraseIncomplete = "没有完全擦除，可重复多次";
inline constexpr const char* kOldHardware = "编程器的硬件不适合,\n必需V5.0以上的版本，\n(2003年4月后出厂的)";
inline constexpr const char* kRS2 = "R=(%02x,%02x)  S=(%02x,%02x)";
inline constexpr const char* kRS3 = "R=(%02x,%02x,%02x)  S=(%02x,%02x,%02x)";

} // namespace pontvex::mcu51text
