#pragma once

#include "core/DeviceBuffer.h"
#include "files/FileFormatModel.h"

#include <cstdint>
#include <functional>
#include <string>

namespace pontvex {

class FileDialogs;
class UserPrompt;

// The main window's fields that the file commands read and set.
struct FileSession {
    std::string FileName = "noname.bin";
    std::string ProgramDir; // initial folder of the open and save dialogs
    int64_t LoadStart = 0;
    int64_t LoadEnd = -1;
};

// What the file commands need of the main window's child windows. The hex
// view owns EndAddress; the main window implements this over it.
class ImageViews {
public:
    virtual ~ImageViews() = default;
    virtual bool hexViewExists() const = 0;
    // The hex view's EndAddress (only asked while the hex view exists).
    virtual int64_t EndAddress() const = 0;
    // After a load: destroy the JEDEC view if there is one, create the hex
    // view if needed, caption it, point it at DeviceBuffer, set EndAddress,
    // PageStart = 0 and ShowPage.
    virtual void showLoadedImage(const std::string& caption, int64_t endAddress) = 0;
    virtual bool jedecViewExists() const { return false; }
    // A .JED load: destroy the hex view, create the PLD view if needed and
    // caption it. False when this program shows no PLD view.
    virtual bool openJedecView(const std::string& /*caption*/) { return false; }
    // The PLD view's map geometry (only asked while it exists).
    virtual int jedecRowLength() const { return 32; }
    virtual int jedecRowCount() const { return 64; }
    // After a .JED load: MapSize is the count the reader reached; shows the map.
    virtual void showJedecMap(int64_t /*mapSize*/) {}
    // The chosen chip's name, for its standard fuse count ("" when none).
    virtual std::string chosenDevice() const { return {}; }
};

// The load and save commands of the main window and the file routines they
// run. Every routine works on FileSession::FileName and tells the user of
// failures through UserPrompt; it returns whether it did its work.
class FileCommands {
public:
    FileCommands(FileSession& session, ImageViews& views, FileDialogs& dialogs, UserPrompt& prompt,
                 DeviceBuffer& buffer);

    // "Открыть": open dialog, format dialog, then the loader of the chosen format.
    void LoadFileClick();
    // "Сохран.": save dialog, format dialog, then the writer of the chosen format.
    void SaveBufClick();
    // Caption and format of the dialog from FileName.
    void PrepareFormatDialog();
    // Start-up: reloads FileName when the file exists: HEX or S-record text by
    // its content whatever the name, else by its extension (.HEX, .BIN, the
    // S-record ones; .JED once the PLD view exists). Other files are left alone.
    void ReloadDataFile();

    // Binary load of the chosen lane from LoadStart on.
    bool LoadBinFile(uint32_t laneMask, uint32_t laneValue);
    // Writes buffer bytes start..end (none when end < start).
    bool SaveBinFile(int64_t start, int64_t end);
    bool LoadHexFile();
    // Writes bytes 0..EndAddress of the hex view.
    bool SaveHexFile();
    // The image behind the two-byte header, from address 0.
    bool LoadCdsFile();
    // The fuse map of a JEDEC file into the PLD view; faults are told, the map stays.
    bool LoadJedFile();
    // The PLD view's map as a JEDEC file; the name's extension becomes ".JED".
    bool SaveJedFile();
    bool LoadSrecFile();
    // Writes bytes 0..EndAddress of the hex view as S-records.
    bool SaveSrecFile();

    FileFormatModel& formatDialog() { return format_; }
    // Files written so far (a save that went through counts one).
    int writes() const { return writes_; }

private:
    bool writeFile(const char* data, size_t size);
    // The format dialog for the file chosen, set up by setUp after the name's
    // own choices: the format taken, or "" when it was cancelled.
    std::string askFormat(const std::string& chosen, const std::function<void()>& setUp);
    // What the first part of FileName holds (binary when it cannot be read).
    ContentFormat contentOfFile() const;
    bool loadRecords(bool srec);
    bool saveRecords(bool srec);
    void tellDataLeft(int64_t lastStored);

    FileSession& session_;
    ImageViews& views_;
    FileDialogs& dialogs_;
    UserPrompt& prompt_;
    DeviceBuffer& buffer_;
    FileFormatModel format_;
    int writes_ = 0;
};

} // namespace pontvex
