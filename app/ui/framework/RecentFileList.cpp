#include "RecentFileList.h"

#include "StandardIds.h"
#include "Strings.h"

#include <algorithm>

namespace omvar::ui {

namespace {
const std::wstring kSection = L"Recent File List";

std::wstring keyOf(std::size_t index) {
    return L"File" + std::to_wstring(index + 1);
}

// The place of the entries: the position of the first MRU item, or -1.
int firstEntryPosition(HMENU popup) {
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(popup, i);
        if (id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_LAST) {
            return i;
        }
    }
    return -1;
}
}  // namespace

RecentFileList::RecentFileList(const Profile& profile, std::size_t size)
    : profile_(profile), size_(size) {}

void RecentFileList::load() {
    files_.clear();
    for (std::size_t i = 0; i < size_; ++i) {
        std::wstring path = profile_.getString(kSection, keyOf(i));
        if (!path.empty()) {
            files_.push_back(std::move(path));
        }
    }
}

void RecentFileList::save() const {
    for (std::size_t i = 0; i < size_; ++i) {
        // An empty value stands for no entry; writing it keeps the keys of the list in place.
        profile_.writeString(kSection, keyOf(i), i < files_.size() ? files_[i] : std::wstring());
    }
}

void RecentFileList::add(const std::wstring& path) {
    if (path.empty() || size_ == 0) {
        return;
    }
    auto same = [&](const std::wstring& entry) {
        return CompareStringOrdinal(entry.c_str(), -1, path.c_str(), -1, TRUE) == CSTR_EQUAL;
    };
    files_.erase(std::remove_if(files_.begin(), files_.end(), same), files_.end());
    files_.insert(files_.begin(), path);
    if (files_.size() > size_) {
        files_.resize(size_);
    }
}

void RecentFileList::remove(std::size_t index) {
    if (index < files_.size()) {
        files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(index));
    }
}

void RecentFileList::updateMenu(HMENU popup) const {
    const int position = firstEntryPosition(popup);
    if (position < 0) {
        return;
    }
    for (UINT id = ID_FILE_MRU_FILE1; id <= ID_FILE_MRU_LAST; ++id) {
        DeleteMenu(popup, id, MF_BYCOMMAND);
    }
    if (files_.empty()) {
        // The string resource of the first entry names the empty list.
        InsertMenuW(popup, static_cast<UINT>(position), MF_BYPOSITION | MF_STRING | MF_GRAYED,
                    ID_FILE_MRU_FILE1, stringField(loadString(ID_FILE_MRU_FILE1), 0).c_str());
        return;
    }
    for (std::size_t i = 0; i < files_.size(); ++i) {
        const std::wstring label = L"&" + std::to_wstring(i + 1) + L" " + files_[i];
        InsertMenuW(popup, static_cast<UINT>(position) + static_cast<UINT>(i),
                    MF_BYPOSITION | MF_STRING, ID_FILE_MRU_FILE1 + i, label.c_str());
    }
}

}  // namespace omvar::ui
