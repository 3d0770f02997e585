// Folder placeholder table: name (without braces) to path, iterated in insertion order.
#pragma once
#include <string>
#include <utility>
#include <vector>

class PlaceholderTable {
public:
    using Entry = std::pair<std::wstring, std::wstring>;

    // Never replaces an existing entry.
    bool Insert(std::wstring name, std::wstring value);
    const std::wstring* Find(const std::wstring& name) const;
    bool Empty() const { return entries_.empty(); }
    size_t Size() const { return entries_.size(); }
    std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<Entry>::const_iterator end() const { return entries_.end(); }

private:
    std::vector<Entry> entries_;  // a handful of entries: order matters more than lookup speed
};
