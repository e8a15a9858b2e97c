#pragma once

// The user-visible texts of the data file commands and the format dialog.

namespace pontvex::files_text {

inline constexpr const char* kOpenBinFailed = "不能打开二进制文件:\n";
inline constexpr const char* kOpenFileFailed = "不能打开文件:\n";
inline constexpr const char* kBadFormat = "错误格式！";
inline constexpr const char* kCannotSaveInFormat = "不能用这个格式存盘！";
inline constexpr const char* kFormatGroupTitle = "Формат файла";
inline constexpr const char* kFormatBin = ".BIN   Binarry";
inline constexpr const char* kFormatHex = ".HEX   Intel HEX";
inline constexpr const char* kFormatJed = ".JED   PLD format(jeced) ";
inline constexpr const char* kFormatCds = ".CDS   EMC format";
inline constexpr const char* kFormatS19 = ".S19   Motorola S-record";
inline constexpr const char* kModeGroupTitle = "Режим загрузки";
inline constexpr const char* kStartLabel = "Начальный адрес буфера:";
inline constexpr const char* kEndLabel = "Конечный адрес буфера:";
inline constexpr const char* kOkButton = "Да";
inline constexpr const char* kCancelButton = "Отмена";
inline constexpr const char* kOpenFilter =
    "*.*|*.*|*.bin  Двоичный|*.bin|*.hex  Intel Стандартный|*.hex|*.jed  PLD Стандартный(jeced)|*.jed";

// Said where a load could not take all of a file: "%06x" of the last address stored follows.
inline constexpr const char* kDataLeft = "数据超出装载范围，只装载到地址 ";
// A save that could not be written: the file name follows.
inline constexpr const char* kCannotWrite = "不能写文件:\n";
// Line number of a faulty HEX record, around the number.
inline constexpr const char* kLineBefore = "第";
inline constexpr const char* kLineAfter = "行";
// An address field that is no hexadecimal number inside the buffer: the text follows.
inline constexpr const char* kBadAddress = "Неверный адрес (0..7fffff): ";
// A HEX or S-record save that goes above the 1 MiB the loaders read.
inline constexpr const char* kTextAbove1MiB =
    "Файл записан целиком, но HEX и S-record эта программа читает только до 1 Мбайт (fffff); "
    "двоичный файл сохраняет всё";
// A file loaded as binary although its content is record text: the format's name follows.
inline constexpr const char* kLooksLikeText = "Загружен как двоичный, хотя похож на ";
// Said when the program has no PLD view to show a JEDEC file in.
inline constexpr const char* kJedNotAvailable = "Формат .JED пока не поддерживается";

// What a JEDEC load tells; the map read stays loaded in every case.
inline constexpr const char* kJedNoHeader = "JED: нет \"*\" после заголовка, перемычки не прочитаны";
inline constexpr const char* kJedUnterminated = "JED: последнее поле без \"*\"";
inline constexpr const char* kJedBadField = "JED: испорченное поле L, K, F, QF или C";
inline constexpr const char* kJedOutside = "JED: перемычки за пределами буфера пропущены";
// "%04X" of the file's C field and of the fuses read follow, in this order.
inline constexpr const char* kJedChecksum = "JED: контрольная сумма в файле %04X, по перемычкам %04X";
// The file's QF count, the chip's name and its fuse count.
inline constexpr const char* kJedFuseCount = "JED: в файле %lld перемычек, у %s их %lld";

} // namespace pontvex::files_text
