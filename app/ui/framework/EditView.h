#pragma once

#include "View.h"

#include <string>

namespace omvar::ui {

// A view that is a multi-line EDIT control filling the client area, with the standard Edit
// commands (undo, cut, copy, paste).
class EditView : public View {
public:
    EditView();

    bool CreateView(FrameWindow& frame) override;

    std::wstring getText() const { return text(); }
    void setEditText(const std::wstring& text) { setText(text); }

protected:
    // The EDIT control's styles; an override may change them before creation.
    virtual void PreCreateWindow(DWORD& style, DWORD& exStyle);
    // Runs once the control exists. False makes the creation fail.
    virtual bool OnCreateView() { return true; }
};

}  // namespace omvar::ui
