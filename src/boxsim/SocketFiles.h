#pragma once

// The simulated socket's files on the command lines of the three programs:
// --socket-image [REGION=]FILE fills a memory of the chip model before it
// goes into the socket, --socket-dump [REGION=]FILE saves one after the run.
// Each option may be given once per region; without REGION= it is the main
// memory (the first of ChipModel::memories()). Files hold the memory's words
// least significant byte first, MemoryInfo::wordBytes() bytes a word.

#include "boxsim/ChipModel.h"

#include <optional>
#include <string>
#include <vector>

namespace pontvex::boxsim {

// What went wrong, sorted the way the programs report it: a usage error (a
// bad option value, a region the model lacks or one given twice) or a file
// error (a file that cannot be read or written, an image that does not fit).
struct SocketFileError {
    enum class Kind { Usage, File };
    Kind kind = Kind::Usage;
    std::string message;
    std::string path; // the file it is about
};

// One option value taken apart.
struct SocketFile {
    std::string region; // empty: the main memory
    std::string path;
};

// "[REGION=]FILE". The text before the first '=' is a region when it is a
// plain name (letters, digits, '_' and '-'), so "./a=b.bin" or "dir/a=b.bin"
// name files with an '=' in them. Nothing for an empty region or file name.
std::optional<SocketFile> parseSocketFile(const std::string& value);

// "config holds 1 word of 14 bits (2 bytes)".
std::string memoryShapeText(const MemoryInfo& memory);

class SocketFiles {
public:
    // One value of --socket-image or --socket-dump; a usage error for a bad
    // value or a region that option already names.
    std::optional<SocketFileError> addImage(const std::string& value);
    std::optional<SocketFileError> addDump(const std::string& value);

    const std::vector<SocketFile>& images() const { return images_; }
    const std::vector<SocketFile>& dumps() const { return dumps_; }
    bool empty() const { return images_.empty() && dumps_.empty(); }

    // Usage errors the model reveals: a region it does not have, or the main
    // memory named both with and without REGION=.
    std::optional<SocketFileError> checkRegions(const ChipModel& model) const;
    // Reads every image and loads it into the model. When one fails (its
    // region, its file, its shape) nothing is loaded.
    std::optional<SocketFileError> loadImages(ChipModel& model) const;
    // Saves every dump from the model, each through a temporary renamed into
    // place; a dump that fails does not keep the others from being written.
    // A null model (an empty socket) fails each of them.
    std::vector<SocketFileError> saveDumps(const ChipModel* model) const;

private:
    std::vector<SocketFile> images_;
    std::vector<SocketFile> dumps_;
};

} // namespace pontvex::boxsim
