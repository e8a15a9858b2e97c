#pragma once

#include "catalogue/FamilyWindow.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pontvex {

using FamilyFactory = std::function<std::unique_ptr<FamilyWindow>(ProgrammerLink&, FamilyHost&)>;

// One row of the dispatch table: an algorithm key and the window class it opens.
struct DispatchRow {
    const char* key;
    const char* windowClass;
};

// The 61 rows in their order. Keys are whole words, compared exactly.
const std::vector<DispatchRow>& dispatchTable();
// The row of a key; null for a key outside the table.
const DispatchRow* dispatchRow(std::string_view key);

// A registration the dispatch table does not allow: a programming error.
class RegistrationError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// The family windows built into a program, by key. Each family folder adds its
// windows (families/Families.h); the program hands the result to the type
// selection, which opens a key's window through its factory. A key that has
// no factory here opens nothing, as a key outside the table.
class FamilyRegistry {
public:
    struct Family {
        const DispatchRow* row;
        FamilyFactory factory;
    };

    // Registers the window of a key. The key must be one of the dispatch
    // table's, the class the one the table names for it, the key new here,
    // and the factory set; anything else throws RegistrationError.
    void add(std::string_view key, std::string_view windowClass, FamilyFactory factory);
    template <class Window> void add(std::string_view key, std::string_view windowClass)
    {
        add(key, windowClass,
            [](ProgrammerLink& link, FamilyHost& host) { return std::make_unique<Window>(link, host); });
    }

    // Puts another factory on a key of the table, registered or not (a
    // family under test); false for a key outside the table.
    bool replace(std::string_view key, FamilyFactory factory);

    // The factory of a key; null when its family is not built.
    const FamilyFactory* factory(std::string_view key) const;
    bool built(std::string_view key) const { return factory(key) != nullptr; }
    // Every registered key, in the order of registration.
    const std::vector<Family>& families() const { return families_; }

private:
    Family* find(std::string_view key);
    const Family* find(std::string_view key) const;

    std::vector<Family> families_;
};

} // namespace pontvex
