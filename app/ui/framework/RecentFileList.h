#pragma once

#include "Profile.h"

#include <windows.h>

#include <string>
#include <vector>

namespace omvar::ui {

// The recently used files: newest first, at most `size` entries, kept in the profile under
// "Recent File List" as "File1", "File2", ... The File menu shows them in place of the item
// ID_FILE_MRU_FILE1.
class RecentFileList {
public:
    RecentFileList(const Profile& profile, std::size_t size);

    void load();
    void save() const;
    // Moves the path to the front (adds it when new; the oldest falls off).
    void add(const std::wstring& path);
    void remove(std::size_t index);
    const std::vector<std::wstring>& files() const { return files_; }

    // Rewrites the entries of the popup that holds ID_FILE_MRU_FILE1 (or its first entry).
    void updateMenu(HMENU popup) const;

private:
    const Profile& profile_;
    std::size_t size_;
    std::vector<std::wstring> files_;
};

}  // namespace omvar::ui
