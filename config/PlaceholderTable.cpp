#include "config/PlaceholderTable.h"

bool PlaceholderTable::Insert(std::wstring name, std::wstring value) {
    if (Find(name))
        return false;
    entries_.emplace_back(std::move(name), std::move(value));
    return true;
}

const std::wstring* PlaceholderTable::Find(const std::wstring& name) const {
    for (const auto& entry : entries_)
        if (entry.first == name)
            return &entry.second;
    return nullptr;
}
