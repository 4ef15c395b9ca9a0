#include "VetrinDoc.h"

#include "AppSettings.h"
#include "Loggers.h"
#include "TextEncoding.h"
#include "VetrinView.h"
#include "win32/UniqueHandles.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace omvar::Vetrin {

namespace {

win32::UniqueHandle openFile(const std::wstring& path, DWORD access, DWORD share,
                             DWORD disposition) {
    return win32::ownFileHandle(CreateFileW(path.c_str(), access, share, nullptr, disposition,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::string systemError(const char* operation, DWORD code) {
    return std::string(operation) + ":(" + std::to_string(code) + ")";
}

}  // namespace

VetrinView* VetrinDoc::editor() const {
    return dynamic_cast<VetrinView*>(view());
}

void VetrinDoc::DeleteContents() {
    if (VetrinView* view = editor(); view != nullptr && view->hwnd() != nullptr) {
        view->setEditText(L"");
    }
}

bool VetrinDoc::OnNewDocument() {
    if (!Document::OnNewDocument()) {
        return false;
    }
    emit(kAfterNewDocument);
    return true;
}

bool VetrinDoc::OnOpenDocument(const std::wstring& path) {
    auto logger = namedLogger("Vetrin");
    win32::UniqueHandle file = openFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file) {
        logger->error("cannot open {}: error {}", quentrax::wide_to_utf8(path), GetLastError());
        return false;
    }
    std::string bytes;
    for (;;) {
        char chunk[65536];
        DWORD read = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr)) {
            // A failed read leaves an empty document, as a document that failed to load.
            logger->error("{}", systemError("ReadFile", GetLastError()));
            file.reset();
            DeleteContents();
            return false;
        }
        if (read == 0) {
            break;
        }
        bytes.append(chunk, read);
    }
    file.reset();
    namedLogger("default")->debug("buffer: {}", bytes);
    // The control shows text up to a zero character; whatever follows a zero byte never shows.
    if (const auto zero = bytes.find('\0'); zero != std::string::npos) {
        bytes.resize(zero);
    }
    std::wstring text;
    if (!bytes.empty()) {
        const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                               static_cast<int>(bytes.size()), nullptr, 0);
        if (length <= 0) {
            // Not UTF-8: the document stays as it was.
            logger->error("{}", systemError("MultiByteToWideChar", GetLastError()));
            return false;
        }
        text.resize(static_cast<std::size_t>(length));
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                            static_cast<int>(bytes.size()), text.data(), length);
    }
    DeleteContents();
    if (VetrinView* view = editor()) {
        view->setEditText(text);
    }
    setModified(false);
    return true;
}

bool VetrinDoc::OnSaveDocument(const std::wstring& path) {
    auto logger = namedLogger("Vetrin");
    const std::wstring text = editor() != nullptr ? editor()->getText() : std::wstring();
    std::string bytes;
    if (!text.empty()) {
        const int length =
            WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(),
                                static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
        if (length <= 0) {
            logger->error("{}", systemError("WideCharToMultiByte", GetLastError()));
            return false;
        }
        bytes.resize(static_cast<std::size_t>(length));
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(),
                            static_cast<int>(text.size()), bytes.data(), length, nullptr, nullptr);
    }
    // Written beside the target first and then put in its place, so a failed write never
    // leaves half a file where the old one was.
    const auto separator = path.find_last_of(L"\\/");
    const std::wstring folder = separator == std::wstring::npos ? L"." : path.substr(0, separator);
    wchar_t temporary[MAX_PATH + 16] = {};
    if (GetTempFileNameW(folder.c_str(), L"vtr", 0, temporary) == 0) {
        logger->error("{}", systemError("GetTempFileName", GetLastError()));
        return false;
    }
    bool written = false;
    {
        win32::UniqueHandle file =
            openFile(temporary, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
        DWORD done = 0;
        written =
            file &&
            WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
            done == bytes.size() && FlushFileBuffers(file.get());
    }
    if (!written ||
        !MoveFileExW(temporary, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        logger->error("{}", systemError("save", GetLastError()));
        DeleteFileW(temporary);
        return false;
    }
    setModified(false);
    return true;
}

bool VetrinDoc::CanCloseFrame(ui::FrameWindow& frame) {
    // A fresh record from the file: a change made there by hand counts at the next close.
    AppSettings fresh;
    loadSettings(fresh);
    if (fresh.closeAnyway) {
        return true;
    }
    return Document::CanCloseFrame(frame);
}

}  // namespace omvar::Vetrin
