#pragma once

#include "Commands.h"

#include <string>

namespace omvar::ui {

class FrameWindow;
class View;

// The data of the single document: its file name, its modified flag and the standard new, open,
// save, save-as and close behaviour. A program overrides the On... steps; the framework calls
// them from the File commands and from the frame's close.
class Document {
public:
    Document();
    virtual ~Document() = default;
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    const std::wstring& pathName() const { return pathName_; }
    // Sets the file name and, when asked, puts it at the top of the recent-file list.
    void setPathName(const std::wstring& path, bool addToRecentFiles = true);
    // The name the title and the prompts show: the file's name, or the untitled name.
    std::wstring title() const;
    bool isModified() const { return modified_; }
    void setModified(bool modified = true) { modified_ = modified; }

    View* view() const { return view_; }
    void setView(View* view) { view_ = view; }

    // Steps of the File commands. Each returns false on failure.
    virtual bool OnNewDocument();
    virtual bool OnOpenDocument(const std::wstring& path);
    virtual bool OnSaveDocument(const std::wstring& path);
    virtual void DeleteContents() {}
    // Asked before the frame closes: by default SaveModified.
    virtual bool CanCloseFrame(FrameWindow& frame);
    // A modified document asks whether to save it first: false when the user cancelled or the
    // save failed.
    virtual bool SaveModified();

    // Save under the current name, or ask for one (Save As) when there is none or `ask` is set.
    bool DoSave(bool ask);

    CommandMap& commands() { return commands_; }

private:
    std::wstring pathName_;
    bool modified_ = false;
    View* view_ = nullptr;
    CommandMap commands_;
};

}  // namespace omvar::ui
